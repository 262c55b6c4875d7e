#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "model/TrackEvalState.h"
#include "model/TrackEvent.h"

namespace kelvane {

// Start of the record that ends every event array: it sorts after every event, so scans and
// merges stop at it without bounds tests.
constexpr uint32_t kSentinelStart = 0xFFFFFFFF;

// The events of one timeline track in ascending start order (equal starts in insertion order),
// followed by the sentinel record, plus the renderer's evaluation state. Every operation that
// allocates reports failure by its flag.
class Track {
  public:
    Track() = default;
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    // n zeroed events and the sentinel; the caller fills them in start order. On failure the track
    // has no array and no events.
    bool Reset(uint32_t n);
    // Merges k events, already in ascending start order, after every existing event with the same
    // start. Failure leaves the track unchanged.
    bool InsertSorted(const TrackEvent* batch, uint32_t k);
    // Drops every event whose flags share a bit with mask. Failure leaves the track unchanged.
    bool RemoveFlagged(uint32_t mask);
    // Stable sort by start, for callers that changed starts in place. Failure leaves the track
    // unchanged.
    bool Sort();
    // This track becomes a copy of other's events and evaluation state, except the default draw
    // method, which the project sets itself. Failure leaves the track unchanged.
    bool CopyFrom(const Track& other);

    // Null for a track that never had an array; otherwise Count() + 1 records.
    TrackEvent* Events() { return events_.get(); }
    const TrackEvent* Events() const { return events_.get(); }
    std::span<TrackEvent> EventSpan() { return {events_.get(), events_ ? count_ : 0}; }
    std::span<const TrackEvent> EventSpan() const { return {events_.get(), events_ ? count_ : 0}; }
    uint32_t Count() const { return count_; }
    bool HasArray() const { return events_ != nullptr; }

    TrackEvalState& EvalState() { return eval_; }
    const TrackEvalState& EvalState() const { return eval_; }

  private:
    void Install(std::unique_ptr<TrackEvent[]> records, uint32_t count);

    std::unique_ptr<TrackEvent[]> events_;
    uint32_t count_ = 0;
    TrackEvalState eval_{};
};

}  // namespace kelvane

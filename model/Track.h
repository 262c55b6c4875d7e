#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "model/EventExtras.h"
#include "model/TrackEvalState.h"
#include "model/TrackEvent.h"

namespace kelvane {

// How loud a whole track sounds: a factor on every event's volume (1 = 100 %) and a mute.
struct TrackSound {
    float volume = 1.0f;
    bool muted = false;
    bool IsDefault() const { return volume == 1.0f && !muted; }
    bool operator==(const TrackSound&) const = default;
};

// Start of the record that ends every event array: it sorts after every event, so scans and
// merges stop at it without bounds tests.
constexpr uint32_t kSentinelStart = 0xFFFFFFFF;

// The events of one timeline track in ascending start order (equal starts in insertion order),
// followed by the sentinel record, plus the renderer's evaluation state. Every operation that
// allocates reports failure by its flag.
//
// The event array is shared copy-on-write between the tracks of the live project, its undo
// snapshots and any copy made for rendering: ShareFrom costs a reference, and nothing writes into
// an array that another track holds. Operations that build a new array (Reset, InsertSorted,
// RemoveFlagged) never touch the old one; the mutable accessors and Sort first give the track its
// own array when it is shared. Readers that must not copy (the renderer) use the const accessors.
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
    // With `batchExtras`, the batch's k extras go with it; without, the batch has the defaults.
    bool InsertSorted(const TrackEvent* batch, uint32_t k,
                      const EventExtras* batchExtras = nullptr);
    // Drops every event whose flags share a bit with mask. Failure leaves the track unchanged.
    bool RemoveFlagged(uint32_t mask);
    // Stable sort by start, for callers that changed starts in place. Failure leaves the track
    // unchanged.
    bool Sort();
    // This track becomes a copy of other's events and evaluation state, except the default draw
    // method, which the project sets itself. Failure leaves the track unchanged.
    bool CopyFrom(const Track& other);
    // The same as CopyFrom without copying: both tracks hold other's array until one of them is
    // written. Cannot fail.
    void ShareFrom(const Track& other);
    // Gives the track an array of its own if it shares one, before it is written in place. False,
    // with the track unchanged, when memory runs out.
    bool Unshare();
    // Whether both tracks hold the very same array (or neither has one): what an edit did not
    // touch since one was shared from the other.
    bool SharesEventsWith(const Track& other) const {
        return events_ == other.events_ && count_ == other.count_ && extras_ == other.extras_;
    }

    // Null for a track that never had an array; otherwise Count() + 1 records. The mutable forms
    // unshare first and give null (an empty span) when that runs out of memory; callers that must
    // report the failure call Unshare themselves before.
    TrackEvent* Events() { return Unshare() ? events_.get() : nullptr; }
    const TrackEvent* Events() const { return events_.get(); }
    std::span<TrackEvent> EventSpan() {
        return Unshare() ? std::span<TrackEvent>{events_.get(), events_ ? count_ : 0}
                         : std::span<TrackEvent>{};
    }
    std::span<const TrackEvent> EventSpan() const { return {events_.get(), events_ ? count_ : 0}; }
    uint32_t Count() const { return count_; }
    bool HasArray() const { return events_ != nullptr; }

    // Carried by CopyFrom and ShareFrom with the events; Reset leaves it alone.
    const TrackSound& Sound() const { return sound_; }
    void SetSound(const TrackSound& sound) { sound_ = sound; }

    // Event i's extras (i < Count()); the defaults when the track keeps none.
    const EventExtras& ExtrasAt(uint32_t i) const { return extras_ ? extras_[i] : DefaultExtras(); }
    // Whether any event of the track has extras of its own.
    bool HasExtras() const { return extras_ != nullptr; }
    // Who holds the event array and the extras, for what is worked out from them and kept
    // between reads. An edit of the document takes a snapshot that shares them first, so the
    // edit installs arrays of its own (only a selection is written in place); a weak reference
    // keeps a later array from being taken for a freed one at the same address.
    std::weak_ptr<const void> EventsOwner() const { return events_; }
    std::weak_ptr<const void> ExtrasOwner() const { return extras_; }
    // Gives event i (< Count()) these extras, unsharing the track first. False, with the track
    // unchanged, when memory runs out.
    bool SetExtras(uint32_t i, const EventExtras& extras);

    TrackEvalState& EvalState() { return eval_; }
    const TrackEvalState& EvalState() const { return eval_; }

  private:
    bool SortWithExtras();
    // False, with the track unchanged, when the shared ownership cannot be set up.
    bool Install(std::unique_ptr<TrackEvent[]> records, uint32_t count,
                 std::unique_ptr<EventExtras[]> extras = nullptr);

    std::shared_ptr<TrackEvent[]> events_;
    std::shared_ptr<EventExtras[]> extras_;  // Count() entries, or null: all defaults
    uint32_t count_ = 0;
    TrackEvalState eval_{};
    TrackSound sound_{};
};

}  // namespace kelvane

#include "model/Track.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace kelvane {
namespace {

// Records for `events` events plus the sentinel, written in place; null when memory runs out.
// Sizes are counted in 64 bits so that no event count can wrap the allocation small.
std::unique_ptr<TrackEvent[]> AllocateRecords(uint64_t events) {
    const uint64_t records = events + 1;
    if (events > UINT32_MAX || records > SIZE_MAX / sizeof(TrackEvent)) {
        return nullptr;
    }
    std::unique_ptr<TrackEvent[]> array(new (std::nothrow) TrackEvent[size_t(records)]());
    if (array) {
        array[size_t(events)].start = kSentinelStart;
    }
    return array;
}

}  // namespace

bool Track::Install(std::unique_ptr<TrackEvent[]> records, uint32_t count) {
    try {
        // Taking a unique array leaves it untouched when the control block cannot be made.
        events_ = std::shared_ptr<TrackEvent[]>(std::move(records));
    } catch (const std::bad_alloc&) {
        return false;
    }
    count_ = count;
    eval_.ForgetPosition();
    return true;
}

bool Track::Unshare() {
    if (!events_ || events_.use_count() == 1) {
        // The last other holder may have let go on another thread (a render copy): its reads of
        // the array happen before our writes.
        std::atomic_thread_fence(std::memory_order_acquire);
        return true;
    }
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(count_);
    if (!records) {
        return false;
    }
    std::memcpy(records.get(), events_.get(), size_t(count_) * sizeof(TrackEvent));
    const TrackEvalState kept = eval_;
    if (!Install(std::move(records), count_)) {
        return false;
    }
    eval_ = kept;  // the same events in the same places: the scan position still holds
    return true;
}

void Track::ShareFrom(const Track& other) {
    if (&other == this) {
        return;
    }
    events_ = other.events_;
    count_ = other.count_;
    sound_ = other.sound_;
    const int32_t ownDefault = eval_.defaultMethod;
    eval_ = other.eval_;
    eval_.defaultMethod = ownDefault;
}

bool Track::Reset(uint32_t n) {
    events_.reset();
    count_ = 0;
    eval_.ForgetPosition();
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(n);
    return records && Install(std::move(records), n);
}

bool Track::InsertSorted(const TrackEvent* batch, uint32_t k) {
    if (!events_ && !Reset(0)) {
        return false;
    }
    std::unique_ptr<TrackEvent[]> merged = AllocateRecords(uint64_t(count_) + k);
    if (!merged) {
        return false;
    }
    // A batch event takes its place only before a strictly larger start, so it lands after every
    // existing event with its start. The existing side is bounded by its count, not by the
    // sentinel alone: a batch start of 0xFFFFFFFF ties with the sentinel.
    uint32_t i = 0;
    uint32_t j = 0;
    TrackEvent* out = merged.get();
    while (j < k) {
        if (i == count_ || batch[j].start < events_[i].start) {
            *out++ = batch[j++];
        } else {
            *out++ = events_[i++];
        }
    }
    if (i < count_) {
        std::memcpy(out, &events_[i], size_t(count_ - i) * sizeof(TrackEvent));
    }
    return Install(std::move(merged), count_ + k);
}

bool Track::RemoveFlagged(uint32_t mask) {
    uint32_t kept = 0;
    for (const TrackEvent& event : std::as_const(*this).EventSpan()) {
        kept += (event.flags & mask) == 0 ? 1 : 0;
    }
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(kept);
    if (!records) {
        return false;
    }
    uint32_t o = 0;
    for (const TrackEvent& event : std::as_const(*this).EventSpan()) {
        if ((event.flags & mask) == 0) {
            records[o++] = event;
        }
    }
    return Install(std::move(records), kept);
}

bool Track::Sort() {
    if (!events_) {
        return true;  // nothing to order, and no array to hold a sentinel
    }
    // Sorted in place: a shared array is copied first. The scratch is allocated before, so that
    // a failure leaves the track as it was.
    std::unique_ptr<TrackEvent[]> scratch = AllocateRecords(count_);
    if (!scratch || !Unshare()) {
        return false;
    }
    // Bottom-up merge sort between the array and the scratch; on ties the left run goes first,
    // which keeps equal starts in their order.
    TrackEvent* src = events_.get();
    TrackEvent* dst = scratch.get();
    const uint64_t n = count_;
    for (uint64_t width = 1; width < n; width *= 2) {
        for (uint64_t lo = 0; lo < n; lo += 2 * width) {
            const uint64_t mid = lo + width < n ? lo + width : n;
            const uint64_t hi = lo + 2 * width < n ? lo + 2 * width : n;
            uint64_t a = lo;
            uint64_t b = mid;
            uint64_t o = lo;
            while (a < mid && b < hi) {
                dst[o++] = src[b].start < src[a].start ? src[b++] : src[a++];
            }
            while (a < mid) {
                dst[o++] = src[a++];
            }
            while (b < hi) {
                dst[o++] = src[b++];
            }
        }
        std::swap(src, dst);
    }
    if (src != events_.get()) {
        std::memcpy(events_.get(), src, size_t(n) * sizeof(TrackEvent));
    }
    events_[count_] = TrackEvent{};
    events_[count_].start = kSentinelStart;
    return true;
}

bool Track::CopyFrom(const Track& other) {
    if (&other == this) {
        return true;
    }
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(other.count_);
    if (!records) {
        return false;
    }
    if (other.events_ && other.count_ > 0) {
        std::memcpy(records.get(), other.events_.get(), size_t(other.count_) * sizeof(TrackEvent));
    }
    if (!Install(std::move(records), other.count_)) {
        return false;
    }
    sound_ = other.sound_;
    const int32_t ownDefault = eval_.defaultMethod;
    eval_ = other.eval_;
    eval_.defaultMethod = ownDefault;
    return true;
}

}  // namespace kelvane

#include "model/Track.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

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

// Extras for `events` events, all defaults; null when memory runs out.
std::unique_ptr<EventExtras[]> AllocateExtras(uint64_t events) {
    if (events > UINT32_MAX || events > SIZE_MAX / sizeof(EventExtras)) {
        return nullptr;
    }
    return std::unique_ptr<EventExtras[]>(new (std::nothrow) EventExtras[size_t(events) + 1]);
}

}  // namespace

const EventExtras& DefaultExtras() {
    static const EventExtras defaults;
    return defaults;
}

bool Track::Install(std::unique_ptr<TrackEvent[]> records, uint32_t count,
                    std::unique_ptr<EventExtras[]> extras) {
    std::shared_ptr<TrackEvent[]> events;
    std::shared_ptr<EventExtras[]> sharedExtras;
    try {
        // Taking a unique array leaves it untouched when the control block cannot be made.
        events = std::shared_ptr<TrackEvent[]>(std::move(records));
        if (extras) {
            sharedExtras = std::shared_ptr<EventExtras[]>(std::move(extras));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    events_ = std::move(events);
    extras_ = std::move(sharedExtras);
    count_ = count;
    eval_.ForgetPosition();
    return true;
}

bool Track::Unshare() {
    if (!events_ || (events_.use_count() == 1 && (!extras_ || extras_.use_count() == 1))) {
        // The last other holder may have let go on another thread (a render copy): its reads of
        // the array happen before our writes.
        std::atomic_thread_fence(std::memory_order_acquire);
        return true;
    }
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(count_);
    std::unique_ptr<EventExtras[]> extras = extras_ ? AllocateExtras(count_) : nullptr;
    if (!records || (extras_ && !extras)) {
        return false;
    }
    std::memcpy(records.get(), events_.get(), size_t(count_) * sizeof(TrackEvent));
    for (uint32_t i = 0; extras && i < count_; ++i) {
        extras[i] = extras_[i];
    }
    const TrackEvalState kept = eval_;
    if (!Install(std::move(records), count_, std::move(extras))) {
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
    extras_ = other.extras_;
    count_ = other.count_;
    sound_ = other.sound_;
    const int32_t ownDefault = eval_.defaultMethod;
    eval_ = other.eval_;
    eval_.defaultMethod = ownDefault;
}

bool Track::Reset(uint32_t n) {
    events_.reset();
    extras_.reset();
    count_ = 0;
    eval_.ForgetPosition();
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(n);
    return records && Install(std::move(records), n);
}

bool Track::InsertSorted(const TrackEvent* batch, uint32_t k, const EventExtras* batchExtras) {
    if (!events_ && !Reset(0)) {
        return false;
    }
    bool batchHasExtras = false;
    for (uint32_t j = 0; batchExtras && j < k; ++j) {
        batchHasExtras = batchHasExtras || !batchExtras[j].IsDefault();
    }
    std::unique_ptr<TrackEvent[]> merged = AllocateRecords(uint64_t(count_) + k);
    std::unique_ptr<EventExtras[]> mergedExtras;
    if (extras_ || batchHasExtras) {
        mergedExtras = AllocateExtras(uint64_t(count_) + k);
        if (!mergedExtras) {
            return false;
        }
    }
    if (!merged) {
        return false;
    }
    // A batch event takes its place only before a strictly larger start, so it lands after every
    // existing event with its start. The existing side is bounded by its count, not by the
    // sentinel alone: a batch start of 0xFFFFFFFF ties with the sentinel.
    uint32_t i = 0;
    uint32_t j = 0;
    uint32_t o = 0;
    while (j < k) {
        const bool fromBatch = i == count_ || batch[j].start < events_[i].start;
        if (mergedExtras) {
            mergedExtras[o] =
                fromBatch ? (batchHasExtras ? batchExtras[j] : DefaultExtras()) : ExtrasAt(i);
        }
        merged[o++] = fromBatch ? batch[j++] : events_[i++];
    }
    if (i < count_) {
        std::memcpy(&merged[o], &events_[i], size_t(count_ - i) * sizeof(TrackEvent));
    }
    for (; mergedExtras && i < count_; ++i) {
        mergedExtras[o++] = ExtrasAt(i);
    }
    return Install(std::move(merged), count_ + k, std::move(mergedExtras));
}

bool Track::RemoveFlagged(uint32_t mask) {
    uint32_t kept = 0;
    for (const TrackEvent& event : std::as_const(*this).EventSpan()) {
        kept += (event.flags & mask) == 0 ? 1 : 0;
    }
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(kept);
    std::unique_ptr<EventExtras[]> extras = extras_ ? AllocateExtras(kept) : nullptr;
    if (!records || (extras_ && !extras)) {
        return false;
    }
    uint32_t o = 0;
    const std::span<const TrackEvent> events = std::as_const(*this).EventSpan();
    for (uint32_t i = 0; i < events.size(); ++i) {
        if ((events[i].flags & mask) == 0) {
            if (extras) {
                extras[o] = extras_[i];
            }
            records[o++] = events[i];
        }
    }
    return Install(std::move(records), kept, std::move(extras));
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
    if (extras_) {
        return SortWithExtras();
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

bool Track::SortWithExtras() {
    // Records and extras move together: the order is found on indices, by start, ties kept.
    std::vector<uint32_t> order;
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(count_);
    std::unique_ptr<EventExtras[]> extras = AllocateExtras(count_);
    try {
        order.resize(count_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!records || !extras) {
        return false;
    }
    for (uint32_t i = 0; i < count_; ++i) {
        order[i] = i;
    }
    const TrackEvent* events = events_.get();
    try {
        std::stable_sort(order.begin(), order.end(), [events](uint32_t a, uint32_t b) {
            return events[a].start < events[b].start;
        });
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (uint32_t i = 0; i < count_; ++i) {
        records[i] = events_[order[i]];
        extras[i] = extras_[order[i]];
    }
    return Install(std::move(records), count_, std::move(extras));
}

bool Track::SetExtras(uint32_t i, const EventExtras& value) {
    if (i >= count_ || !events_) {
        return false;
    }
    if (!extras_ && value.IsDefault()) {
        return true;
    }
    if (!Unshare()) {
        return false;
    }
    if (!extras_) {
        std::unique_ptr<EventExtras[]> extras = AllocateExtras(count_);
        if (!extras) {
            return false;
        }
        try {
            extras_ = std::shared_ptr<EventExtras[]>(std::move(extras));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    extras_[i] = value;
    return true;
}

bool Track::CopyFrom(const Track& other) {
    if (&other == this) {
        return true;
    }
    std::unique_ptr<TrackEvent[]> records = AllocateRecords(other.count_);
    std::unique_ptr<EventExtras[]> extras = other.extras_ ? AllocateExtras(other.count_) : nullptr;
    if (!records || (other.extras_ && !extras)) {
        return false;
    }
    if (other.events_ && other.count_ > 0) {
        std::memcpy(records.get(), other.events_.get(), size_t(other.count_) * sizeof(TrackEvent));
    }
    for (uint32_t i = 0; extras && i < other.count_; ++i) {
        extras[i] = other.extras_[i];
    }
    if (!Install(std::move(records), other.count_, std::move(extras))) {
        return false;
    }
    sound_ = other.sound_;
    const int32_t ownDefault = eval_.defaultMethod;
    eval_ = other.eval_;
    eval_.defaultMethod = ownDefault;
    return true;
}

}  // namespace kelvane

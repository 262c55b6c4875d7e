#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "model/Track.h"
#include "model/TrackEvent.h"

namespace kelvane::testing {

// A used event whose file ID serves as a label to follow it through merges and sorts.
inline TrackEvent LabelledEvent(uint32_t start, int32_t label, uint32_t extraFlags = 0) {
    TrackEvent e{};
    e.flags = kEventUsed | extraFlags;
    e.start = start;
    e.fileId = label;
    return e;
}

inline std::vector<int32_t> Labels(const Track& track) {
    std::vector<int32_t> labels;
    for (const TrackEvent& e : track.EventSpan()) {
        labels.push_back(e.fileId);
    }
    return labels;
}

// The record after the last event is all zero but its start.
inline bool HasSentinel(const Track& track) {
    if (!track.HasArray()) {
        return false;
    }
    TrackEvent expected{};
    expected.start = kSentinelStart;
    const TrackEvent& s = track.Events()[track.Count()];
    return std::memcmp(&s, &expected, sizeof(TrackEvent)) == 0;
}

}  // namespace kelvane::testing

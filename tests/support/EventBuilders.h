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

// An opaque event at `start` that shows the whole w x h region of file `fileId` with its top left
// corner at output pixel (x, y), at scale 1; the source runs at one source frame of 400,000 units
// (25 per second) per output frame from `position`.
inline TrackEvent PlacedEvent(int32_t fileId, uint32_t start, int32_t w, int32_t h, float x = 0,
                              float y = 0, RefTime position = 0) {
    TrackEvent e{};
    e.flags = kEventUsed | kEventParametric;
    e.start = start;
    e.fileId = fileId;
    e.position = position;
    e.step = 400000;
    e.right = w;
    e.bottom = h;
    e.colour = 0x00FFFFFF;
    e.scale = 1.0f;
    e.positionX = x;
    e.positionY = y;
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

#pragma once

#include <cstdint>

// The timeline's coordinates. Everything is in document pixels: x grows with the frame number at
// 32 pixels per `zoom` frames, y holds the ruler (0-47) and one 16-pixel row per track below it.
namespace timeline {

inline constexpr int kRulerHeight = 48;
inline constexpr int kLabelBandBottom = 20;  // the time labels above, the tick band below
inline constexpr int kRowHeight = 16;
inline constexpr int kTrackRows = 256;
inline constexpr int kDocumentHeight = 4208;
inline constexpr int kScrollSlack = 100;  // room to the right of the project's end
inline constexpr int kLookAhead = 200;    // the last bar reaches this far past the right edge
inline constexpr int kDetailLaneTop = 48;
inline constexpr int kDetailLaneBottom = 80;
inline constexpr int kDetailRowsTop = 96;
inline constexpr int kDetailRowsLimit = 4191;
inline constexpr int kMaxLaneBoxes = 768;
inline constexpr int kMaxBoxes = 1024;
inline constexpr uint32_t kMinZoom = 1;
inline constexpr uint32_t kMaxZoom = 1024;
inline constexpr uint32_t kInitialZoom = 4;

// Where frame f begins. 64-bit: 1,048,576 frames at zoom 1 are 33,554,432 pixels.
inline int64_t frameToX(uint32_t frame, uint32_t zoom) {
    return int64_t(frame) * 32 / zoom;
}

// The frame nearest to a document x; x left of 0 is frame 0.
inline uint32_t xToFrame(int64_t x, uint32_t zoom) {
    return x <= 0 ? 0 : uint32_t((uint64_t(x) * zoom + 16) >> 5);
}

// The frame whose column holds the left edge x (rounded down, as the drawing starts).
inline uint32_t leftEdgeFrame(int64_t x, uint32_t zoom) {
    return x <= 0 ? 0 : uint32_t((uint64_t(x) * zoom) >> 5);
}

// The largest start whose bar begins at or left of column x: frameToX(s) <= x.
inline uint64_t lastStartAtColumn(int64_t x, uint32_t zoom) {
    return x < 0 ? 0 : (uint64_t(x + 1) * zoom - 1) / 32;
}

inline int trackRowTop(int track) {
    return kRulerHeight + kRowHeight * track;
}

}  // namespace timeline

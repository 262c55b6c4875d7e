#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelvane {

// 100-nanosecond units, 10,000,000 per second.
using RefTime = int64_t;
constexpr RefTime kRefTimePerSecond = 10'000'000;

enum EventFlags : uint32_t {
    kEventUsed = 1,
    kEventSelected = 2,
    kEventInterpolate = 4,
    kEventParametric = 8,
};

enum class DrawMethod : int32_t {
    Default = 0,
    StandardInitial = 1,
    Standard = 2,
    Linear = 3,
    LinearColourCorrected = 4,
    Unresolved = 5,  // none of the four: the kernels draw nothing
};

enum class BlendMode : int32_t {
    Normal = 0,
    And = 1,
    Or = 2,
    Xor = 3,
    Multiply = 4,
    Add = 5,
    Subtract = 6,
};

// The one event record: the same 152 little-endian bytes in memory, in project files, in undo
// snapshots, on the clipboard and in template slots. Whole records are copied as raw bytes.
struct TrackEvent {
    uint32_t flags;
    uint32_t start;  // output frame, compared unsigned
    int32_t fileId;
    int32_t drawMethod;
    RefTime position;  // source time at the start frame
    RefTime step;      // source time per output frame
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    uint32_t colour;  // 0xAABBGGRR; opacity byte 0 stands for 256 (opaque)
    int32_t blendMode;
    float matrix[9];   // source -> output, row by row
    float inverse[9];  // output -> source, row by row
    float referenceX;
    float referenceY;
    float scale;
    float rotation;  // degrees, clockwise on screen
    float positionX;
    float positionY;
};

static_assert(sizeof(TrackEvent) == 152);
static_assert(offsetof(TrackEvent, flags) == 0);
static_assert(offsetof(TrackEvent, start) == 4);
static_assert(offsetof(TrackEvent, fileId) == 8);
static_assert(offsetof(TrackEvent, drawMethod) == 12);
static_assert(offsetof(TrackEvent, position) == 16);
static_assert(offsetof(TrackEvent, step) == 24);
static_assert(offsetof(TrackEvent, left) == 32);
static_assert(offsetof(TrackEvent, bottom) == 44);
static_assert(offsetof(TrackEvent, colour) == 48);
static_assert(offsetof(TrackEvent, blendMode) == 52);
static_assert(offsetof(TrackEvent, matrix) == 56);
static_assert(offsetof(TrackEvent, inverse) == 92);
static_assert(offsetof(TrackEvent, referenceX) == 128);
static_assert(offsetof(TrackEvent, scale) == 136);
static_assert(offsetof(TrackEvent, rotation) == 140);
static_assert(offsetof(TrackEvent, positionY) == 148);

// The record is written to disk as it lies in memory.
static_assert(std::endian::native == std::endian::little);

}  // namespace kelvane

#pragma once

#include <cstdint>

namespace kelvane {

// The sound that belongs to one output frame, handed to the writer with the frame's pixels:
// `count` interleaved stereo samples at 48 kHz. Empty when the export carries no sound.
struct FrameSound {
    const float* samples = nullptr;
    int64_t count = 0;
};

}  // namespace kelvane

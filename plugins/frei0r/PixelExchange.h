#pragma once

#include <cstdint>

#include "PixelKernels.h"

namespace frei0r_bridge {

// Conversions between our frames (bottom-up rows of 0x00RRGGBB words) and a plug-in's frames
// (top-down rows of four bytes in its colour model, straight alpha, width and height padded to
// multiples of 8).

int32_t PaddedSize(int32_t size);

// Fills the plug-in's padded frame from ours, with opaque alpha; the padding repeats the last
// column and row. The rows are converted by `kernels`, by default the fastest this processor runs.
void FrameToPlugin(const uint32_t* frame, int32_t width, int32_t height, int colourModel,
                   uint32_t* plugin, const PixelKernels& kernels = FastestKernels());

// A plug-in's output as it left it: top-down rows `pitch` words apart (the padded width), of
// which the frame's `width` x `height` are read.
struct PluginOutput {
    const uint32_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool redFirst = false;  // RGBA8888: red in the lowest byte, where our words keep blue
};

PluginOutput OutputOf(const uint32_t* plugin, int32_t width, int32_t height, int colourModel);

}  // namespace frei0r_bridge

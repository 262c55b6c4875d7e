#pragma once

#include <cstdint>

namespace frei0r_bridge {

// Conversions between our frames (bottom-up rows of 0x00RRGGBB words) and a plug-in's frames
// (top-down rows of four bytes in its colour model, straight alpha, width and height padded to
// multiples of 8).

int32_t PaddedSize(int32_t size);

// Fills the plug-in's padded frame from ours, with opaque alpha; the padding repeats the last
// column and row.
void FrameToPlugin(const uint32_t* frame, int32_t width, int32_t height, int colourModel,
                   uint32_t* plugin);

// The plug-in's padded output as top-down 0xAARRGGBB words of the frame's size.
void PluginToStraight(const uint32_t* plugin, int32_t width, int32_t height, int colourModel,
                      uint32_t* straight);

}  // namespace frei0r_bridge

#pragma once

#include <cstdint>

#include "EffectCanvas.h"

namespace frei0r_bridge {

// Draws a plug-in's output (top-down 0xAARRGGBB words, straight alpha, the frame's size) into the
// event as a picture of that size would be drawn: each pixel of the event shows the output pixel
// under its region point, tinted by the event's colour and laid over the frame in the blend mode
// with the event's opacity times the pixel's presence (alpha + alpha / 128, so 255 is whole).
// Region points off the output draw nothing.
void DrawBack(const effect::Canvas& canvas, int32_t mode, const uint32_t* straight, int32_t width,
              int32_t height);

}  // namespace frei0r_bridge

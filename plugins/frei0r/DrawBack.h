#pragma once

#include <cstdint>

#include "EffectCanvas.h"
#include "PixelExchange.h"
#include "PixelKernels.h"

namespace frei0r_bridge {

// Draws a plug-in's output into the event as a picture of that size would be drawn: each pixel
// of the event shows the output pixel under its region point, tinted by the event's colour and
// laid over the frame in the blend mode with the event's opacity times the pixel's presence
// (alpha + alpha / 128, so 255 is whole). Region points off the output draw nothing.
//
// The region points are those of the canvas's inverse matrix, computed with its arithmetic; an
// axis-aligned matrix (every picture that is only moved and scaled) has them computed once per
// column and once per row, and a run of columns that maps one to one is drawn as a straight row.
// The rows are drawn by `kernels`, by default the fastest this processor runs.
void DrawBack(const effect::Canvas& canvas, int32_t mode, const PluginOutput& output,
              const PixelKernels& kernels = FastestKernels());

}  // namespace frei0r_bridge

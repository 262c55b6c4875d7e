#pragma once

#include <cstdint>

#include "EffectCanvas.h"

namespace effect {

// Each draws the event into the canvas with the given blend mode (0 to 6).

// The region in the event's colour.
void Fill(const Canvas& canvas, int32_t mode);
// The event's colour, fading out across the region in the direction `degrees` (0: from the left
// edge to the right edge, 90: from the top edge to the bottom edge). The fade takes the last
// `softness` (0 to 1) of the way; before it the colour is whole, 0 gives a hard edge.
void Gradient(const Canvas& canvas, int32_t mode, double degrees, double softness);
// The frame under the region in square blocks of `block` region pixels, each its mean colour.
bool Mosaic(const Canvas& canvas, int32_t mode, int32_t block);
// The frame under the region, each pixel the mean of the (2r + 1) x (2r + 1) pixels around it.
bool BoxBlur(const Canvas& canvas, int32_t mode, int32_t radius);
// The frame under the region with every channel inverted.
void Invert(const Canvas& canvas, int32_t mode);
// The region moved towards the event's colour, the opacity giving how far, eased at both ends so
// that an opacity interpolated over time starts and ends the fade softly.
void FadeToColour(const Canvas& canvas, int32_t mode);

}  // namespace effect

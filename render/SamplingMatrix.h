#pragma once

#include <array>

namespace kelvane {

// The pixel-centre matrix that every composed event matrix includes: it moves an integer pixel
// position to the point where the pixel is sampled. The horizontal offset is a hair over one half
// (0.5 + 1/4096) so that a boundary that falls exactly between two pixels rounds the same way
// across rows; the vertical offset is exactly one half.
constexpr float kSamplingOffsetX = 0.500244140625f;
constexpr float kSamplingOffsetY = 0.5f;

// Sets the process-wide matrix. Part of the start-up sequence, before anything is drawn; the
// matrix holds the same constant from static initialisation on, so calling it again is harmless.
void InitSamplingMatrix();

// Row by row, acting on column vectors (x, y, 1).
const std::array<float, 9>& SamplingMatrix();

}  // namespace kelvane

#pragma once

#include <cstdint>

#include "model/TrackEvent.h"

namespace kelvane {

// 3 x 3 matrices are nine floats row by row acting on column vectors (x, y, 1); the bottom row
// takes part, so a matrix may be projective.

// out = a . b in single precision, each entry summed over k = 0, 1, 2 in that order. out may be
// a or b.
void MultiplyMatrices(const float a[9], const float b[9], float out[9]);

// adjugate(m) / determinant(m) with cofactors and determinant in double from the float entries.
// A singular m gives infinite or NaN entries; the kernels then sample nothing.
void InvertMatrix(const float m[9], float out[9]);

// Forward = T(position) . R(rotation, clockwise on screen) . S(scale about the reference point),
// and its inverse, into the event's matrix and inverse: a source point q lands at
// position + rotate(rotation) . scale . (q - reference).
void BuildParametricMatrices(TrackEvent& event);

// The effective draw method: the event's own if 1 to 4, else the project default if 1 to 4, else
// pixelQuality if 1 to 4, else Unresolved (the kernels draw nothing).
DrawMethod ResolveDrawMethod(int32_t eventMethod, int32_t projectDefault, int32_t pixelQuality);

// Adds the pixel-centre matrix P to an event's matrices in place: forward becomes P . forward.
// The inverse becomes inverse . P for methods 2 to 4, so that an output pixel samples the source
// point its centre maps to; for method 1 and an unresolved method it becomes P . inverse, the
// offset then falling in source space, as the first version of the renderer drew.
void ComposeWithSamplingMatrix(TrackEvent& event, DrawMethod method);

}  // namespace kelvane

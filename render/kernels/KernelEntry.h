#pragma once

#include "render/PixelJob.h"

// One entry per kernel family and instruction set. The dispatcher (RunPixelJob) has already
// checked the tier, method, mode and that the visit and region rectangles are not empty.
namespace kelvane::kernels {

void RunNearestScalar(const PixelJob& job);
void RunBilinearScalar(const PixelJob& job);

#if defined(__SSE2__)
void RunNearestSse2(const PixelJob& job);
void RunBilinearSse2(const PixelJob& job);
#endif

#if defined(__x86_64__)
// Compiled for AVX2; called only where the processor has it (VectorSet.h).
void RunNearestAvx2(const PixelJob& job);
void RunBilinearAvx2(const PixelJob& job);
#endif

}  // namespace kelvane::kernels

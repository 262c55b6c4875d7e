#pragma once

#include <cstdint>
#include <vector>

namespace frei0r_bridge {

// The bridge's work on one row of pixels, as one instruction set does it. Every set gives the
// same pixels to the bit; the plain C++ one is the reference the others are held against.
struct PixelKernels {
    const char* name;
    // dst[i] = src[i] as a plug-in's input pixel: opaque, red first for [1].
    using ConvertRow = void (*)(const uint32_t* src, uint32_t* dst, int32_t count);
    ConvertRow toPlugin[2];
    // dst[i] = src[i] drawn over dst[i] with the event's tint (0x00RRGGBB) and weight (1 to
    // 256), as DrawPixel does; [mode][tinted][red first].
    using DrawRow = void (*)(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t tint,
                             uint32_t weight);
    DrawRow draw[7][2][2];
};

const PixelKernels& ScalarKernels();
#if defined(KELVANE_FREI0R_X86)
const PixelKernels& Sse2Kernels();
const PixelKernels& Avx2Kernels();
#endif

// Every set this processor runs, the reference first and the fastest last.
std::vector<const PixelKernels*> UsableKernels();

// The fastest set this processor runs, chosen once.
const PixelKernels& FastestKernels();

}  // namespace frei0r_bridge

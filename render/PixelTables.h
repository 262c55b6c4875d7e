#pragma once

#include <cstdint>

namespace kelvane {

// Lookup tables of the plain kernel tier, shared read-only by every drawing thread. The weighted
// products (i * j, i * j + 64, i * j / 256 for weights 0 to 256) are cheaper to compute than to
// look up on current processors, so the kernels form them directly.
struct PixelTables {
    uint8_t productOver255[256][256];  // floor(i * j / 255)
    uint8_t saturatingSum[256][256];   // min(i + j, 255)
    uint8_t saturatingDiff[256][256];  // max(i - j, 0)
    uint16_t mean[5][1024];            // floor(j / i); row 0 all 0
};

// Builds the tables; idempotent and safe to call from several threads. Called at start-up so
// that the first frame does not pay for it; the kernels also call it before they draw.
void BuildPixelTables();
const PixelTables& GetPixelTables();

}  // namespace kelvane

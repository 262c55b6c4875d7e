#include "PixelExchange.h"

#include <cstddef>

#include "frei0r.h"

namespace frei0r_bridge {

namespace {

// RGBA8888 puts red in the lowest byte, where our words keep blue; BGRA8888 and the untyped
// PACKED32 (which we hand over in our own order) match our words.
inline uint32_t SwapRedBlue(uint32_t p) {
    return (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
}

}  // namespace

int32_t PaddedSize(int32_t size) {
    return (size + 7) / 8 * 8;
}

void FrameToPlugin(const uint32_t* frame, int32_t width, int32_t height, int colourModel,
                   uint32_t* plugin) {
    const int32_t pw = PaddedSize(width), ph = PaddedSize(height);
    const bool swap = colourModel == F0R_COLOR_MODEL_RGBA8888;
    for (int32_t y = 0; y < ph; ++y) {
        const int32_t sy = y < height ? y : height - 1;
        const uint32_t* src = frame + size_t(height - 1 - sy) * size_t(width);
        uint32_t* dst = plugin + size_t(y) * size_t(pw);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = src[x] | 0xFF000000u;
            dst[x] = swap ? SwapRedBlue(p) : p;
        }
        for (int32_t x = width; x < pw; ++x)
            dst[x] = dst[width - 1];
    }
}

void PluginToStraight(const uint32_t* plugin, int32_t width, int32_t height, int colourModel,
                      uint32_t* straight) {
    const int32_t pw = PaddedSize(width);
    const bool swap = colourModel == F0R_COLOR_MODEL_RGBA8888;
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* src = plugin + size_t(y) * size_t(pw);
        uint32_t* dst = straight + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x)
            dst[x] = swap ? SwapRedBlue(src[x]) : src[x];
    }
}

}  // namespace frei0r_bridge

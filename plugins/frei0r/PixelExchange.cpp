#include "PixelExchange.h"

#include <cstddef>

#include "RowHalves.h"
#include "frei0r.h"

namespace frei0r_bridge {

int32_t PaddedSize(int32_t size) {
    return (size + 7) / 8 * 8;
}

namespace {

// Rows [begin, end) of the frame, counted from the top, with the padding to their right.
void ConvertRows(const uint32_t* frame, int32_t width, int32_t height, bool swap, uint32_t* plugin,
                 int32_t begin, int32_t end) {
    const int32_t pw = PaddedSize(width);
    for (int32_t y = begin; y < end; ++y) {
        const uint32_t* __restrict src = frame + size_t(height - 1 - y) * size_t(width);
        uint32_t* __restrict dst = plugin + size_t(y) * size_t(pw);
        if (swap) {
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t p = src[x];
                dst[x] =
                    0xFF000000u | (p & 0x0000FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
            }
        } else {
            for (int32_t x = 0; x < width; ++x)
                dst[x] = src[x] | 0xFF000000u;
        }
        for (int32_t x = width; x < pw; ++x)
            dst[x] = dst[width - 1];
    }
}

}  // namespace

void FrameToPlugin(const uint32_t* frame, int32_t width, int32_t height, int colourModel,
                   uint32_t* plugin) {
    const int32_t pw = PaddedSize(width), ph = PaddedSize(height);
    // RGBA8888 puts red in the lowest byte, where our words keep blue; BGRA8888 and the untyped
    // PACKED32 (which we hand over in our own order) match our words. Each case is a loop of its
    // own, which the compiler turns into vector code.
    const bool swap = colourModel == F0R_COLOR_MODEL_RGBA8888;
    SplitRows(0, height, size_t(width), [&](int32_t begin, int32_t end, int) {
        ConvertRows(frame, width, height, swap, plugin, begin, end);
    });
    // The padding below the frame repeats its last row, padding included.
    const uint32_t* last = plugin + size_t(height - 1) * size_t(pw);
    for (int32_t y = height; y < ph; ++y) {
        uint32_t* dst = plugin + size_t(y) * size_t(pw);
        for (int32_t x = 0; x < pw; ++x)
            dst[x] = last[x];
    }
}

PluginOutput OutputOf(const uint32_t* plugin, int32_t width, int32_t height, int colourModel) {
    PluginOutput output;
    output.pixels = plugin;
    output.pitch = PaddedSize(width);
    output.width = width;
    output.height = height;
    output.redFirst = colourModel == F0R_COLOR_MODEL_RGBA8888;
    return output;
}

}  // namespace frei0r_bridge

#include "PixelExchange.h"

#include <algorithm>
#include <cstddef>

#include "RowHalves.h"
#include "frei0r.h"

namespace frei0r_bridge {

int32_t PaddedSize(int32_t size) {
    return (size + 7) / 8 * 8;
}

void FrameToPlugin(const uint32_t* frame, int32_t width, int32_t height, int colourModel,
                   uint32_t* plugin, const PixelKernels& kernels) {
    const int32_t pw = PaddedSize(width), ph = PaddedSize(height);
    // RGBA8888 puts red in the lowest byte, where our words keep blue; BGRA8888 and the untyped
    // PACKED32 (which we hand over in our own order) match our words.
    const PixelKernels::ConvertRow convert =
        kernels.toPlugin[colourModel == F0R_COLOR_MODEL_RGBA8888 ? 1 : 0];
    SplitRows(0, height, size_t(width), [&](int32_t begin, int32_t end, int) {
        for (int32_t y = begin; y < end; ++y) {
            uint32_t* dst = plugin + size_t(y) * size_t(pw);
            convert(frame + size_t(height - 1 - y) * size_t(width), dst, width);
            for (int32_t x = width; x < pw; ++x)
                dst[x] = dst[width - 1];
        }
    });
    // The padding below the frame repeats its last row, padding included.
    const uint32_t* last = plugin + size_t(height - 1) * size_t(pw);
    for (int32_t y = height; y < ph; ++y)
        std::copy(last, last + pw, plugin + size_t(y) * size_t(pw));
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

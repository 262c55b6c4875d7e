#include "DrawBack.h"

#include <cstddef>

namespace frei0r_bridge {

void DrawBack(const effect::Canvas& canvas, int32_t mode, const uint32_t* straight, int32_t width,
              int32_t height) {
    const uint32_t tint = canvas.Tint();
    const int32_t weight = canvas.Weight();
    const float w = float(width), h = float(height);
    for (int32_t y = canvas.Y0(); y < canvas.Y1(); ++y) {
        uint32_t* row = canvas.Row(y);
        for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
            float sx, sy;
            if (!canvas.Map(x, y, sx, sy) || !(sx >= 0 && sx < w && sy >= 0 && sy < h))
                continue;
            const uint32_t s = straight[size_t(int32_t(sy)) * size_t(width) + size_t(int32_t(sx))];
            // The pixel's presence (alpha 255 is 256, 0 is nothing) times the opacity, as the
            // picture kernels weigh a source with alpha.
            const uint32_t alpha = s >> 24;
            const uint32_t presence = alpha + (alpha >> 7);
            if (presence == 0)
                continue;
            const auto drawn = int32_t((presence * uint32_t(weight)) >> 8);
            row[x] = effect::Combine(row[x], effect::TintPixel(s, tint), mode, drawn);
        }
    }
}

}  // namespace frei0r_bridge

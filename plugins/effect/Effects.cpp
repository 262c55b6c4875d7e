#include "Effects.h"

#include <cmath>
#include <new>
#include <unordered_map>
#include <vector>

namespace effect {

namespace {

// Calls draw(x, y, sx, sy, pixel) for every pixel of the event.
template <typename Draw>
void ForEachPixel(const Canvas& canvas, Draw draw) {
    for (int32_t y = canvas.Y0(); y < canvas.Y1(); ++y) {
        uint32_t* row = canvas.Row(y);
        for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
            float sx, sy;
            if (canvas.Map(x, y, sx, sy))
                draw(x, y, sx, sy, row[x]);
        }
    }
}

}  // namespace

void Fill(const Canvas& canvas, int32_t mode) {
    const uint32_t colour = canvas.Tint();
    const int32_t weight = canvas.Weight();
    ForEachPixel(canvas, [&](int32_t, int32_t, float, float, uint32_t& pixel) {
        pixel = Combine(pixel, colour, mode, weight);
    });
}

void Gradient(const Canvas& canvas, int32_t mode, double degrees, double softness) {
    const uint32_t colour = canvas.Tint();
    const float weight = float(canvas.Weight());
    // Whole quarter turns take the axes exactly, so that the default directions measure along x
    // or y with no rounding at all.
    double turn = std::fmod(degrees, 360.0);
    if (turn < 0)
        turn += 360.0;
    float dx, dy;
    if (turn == 0) {
        dx = 1, dy = 0;
    } else if (turn == 90) {
        dx = 0, dy = 1;
    } else if (turn == 180) {
        dx = -1, dy = 0;
    } else if (turn == 270) {
        dx = 0, dy = -1;
    } else {
        const double pi = 3.14159265358979323846;
        dx = float(std::cos(turn * pi / 180.0));
        dy = float(std::sin(turn * pi / 180.0));
    }
    // The region's extent along the direction: its corners' projections.
    const float corners[4] = {
        dx * canvas.Left() + dy * canvas.Top(), dx * canvas.Right() + dy * canvas.Top(),
        dx * canvas.Left() + dy * canvas.Bottom(), dx * canvas.Right() + dy * canvas.Bottom()};
    const float start = *std::min_element(corners, corners + 4);
    const float length = *std::max_element(corners, corners + 4) - start;
    const float soft = float(std::clamp(softness, 0.0, 1.0));
    ForEachPixel(canvas, [&](int32_t, int32_t, float sx, float sy, uint32_t& pixel) {
        float along = (dx * sx + dy * sy - start) / length;
        float left = 1.0f - along;
        float strength = soft > 0 ? std::clamp(left / soft, 0.0f, 1.0f) : (left > 0 ? 1.0f : 0.0f);
        int32_t w = int32_t(weight * strength);
        pixel = Combine(pixel, colour, mode, w);
    });
}

bool Mosaic(const Canvas& canvas, int32_t mode, int32_t block) {
    struct Sum {
        uint64_t red = 0, green = 0, blue = 0, count = 0;
    };
    const int32_t columns = canvas.X1() - canvas.X0();
    const int32_t rows = canvas.Y1() - canvas.Y0();
    const float size = float(block);
    try {
        // First the blocks are measured on the untouched frame, then every pixel takes its
        // block's mean.
        std::vector<uint64_t> keys(size_t(columns) * size_t(rows), UINT64_MAX);
        std::unordered_map<uint64_t, Sum> sums;
        // Neighbouring pixels mostly share a block: the last block found is kept at hand.
        uint64_t lastKey = UINT64_MAX;
        Sum* last = nullptr;
        for (int32_t y = canvas.Y0(); y < canvas.Y1(); ++y) {
            const uint32_t* row = canvas.Row(y);
            for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
                float sx, sy;
                if (!canvas.Map(x, y, sx, sy))
                    continue;
                auto bx = uint64_t(uint32_t(std::floor((sx - canvas.Left()) / size)));
                auto by = uint64_t(uint32_t(std::floor((sy - canvas.Top()) / size)));
                uint64_t key = (by << 32) | bx;
                keys[size_t(y - canvas.Y0()) * size_t(columns) + size_t(x - canvas.X0())] = key;
                if (key != lastKey) {
                    last = &sums[key];
                    lastKey = key;
                }
                Sum& sum = *last;
                sum.red += Channel(row[x], 16);
                sum.green += Channel(row[x], 8);
                sum.blue += Channel(row[x], 0);
                ++sum.count;
            }
        }
        std::unordered_map<uint64_t, uint32_t> means;
        means.reserve(sums.size());
        for (const auto& [key, sum] : sums) {
            uint64_t half = sum.count / 2;
            means[key] = uint32_t((sum.red + half) / sum.count) << 16 |
                         uint32_t((sum.green + half) / sum.count) << 8 |
                         uint32_t((sum.blue + half) / sum.count);
        }
        const uint32_t tint = canvas.Tint();
        const int32_t weight = canvas.Weight();
        lastKey = UINT64_MAX;
        uint32_t mean = 0;
        for (int32_t y = canvas.Y0(); y < canvas.Y1(); ++y) {
            uint32_t* row = canvas.Row(y);
            const uint64_t* rowKeys = &keys[size_t(y - canvas.Y0()) * size_t(columns)];
            for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
                uint64_t key = rowKeys[x - canvas.X0()];
                if (key == UINT64_MAX)
                    continue;
                if (key != lastKey) {
                    mean = means[key];
                    lastKey = key;
                }
                row[x] = Combine(row[x], TintPixel(mean, tint), mode, weight);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool BoxBlur(const Canvas& canvas, int32_t mode, int32_t radius) {
    // Only the pixels within reach of the visited rectangle are read; beyond the frame's edge the
    // edge pixels repeat.
    const int32_t ex0 = std::max(canvas.X0() - radius, 0);
    const int32_t ex1 = std::min(canvas.X1() + radius, canvas.Width());
    const int32_t ey0 = std::max(canvas.Y0() - radius, 0);
    const int32_t ey1 = std::min(canvas.Y1() + radius, canvas.Height());
    const int32_t columns = canvas.X1() - canvas.X0();
    const int32_t taps = 2 * radius + 1;
    const uint32_t area = uint32_t(taps) * uint32_t(taps);
    try {
        // Horizontal sums per channel for every row in reach, over the visited columns.
        std::vector<uint32_t> across(size_t(ey1 - ey0) * size_t(columns) * 3);
        for (int32_t y = ey0; y < ey1; ++y) {
            const uint32_t* row = canvas.Row(y);
            uint32_t* out = &across[size_t(y - ey0) * size_t(columns) * 3];
            for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
                uint32_t r = 0, g = 0, b = 0;
                for (int32_t k = -radius; k <= radius; ++k) {
                    uint32_t p = row[std::clamp(x + k, ex0, ex1 - 1)];
                    r += Channel(p, 16);
                    g += Channel(p, 8);
                    b += Channel(p, 0);
                }
                uint32_t* o = out + size_t(x - canvas.X0()) * 3;
                o[0] = r;
                o[1] = g;
                o[2] = b;
            }
        }
        const uint32_t tint = canvas.Tint();
        const int32_t weight = canvas.Weight();
        for (int32_t y = canvas.Y0(); y < canvas.Y1(); ++y) {
            uint32_t* row = canvas.Row(y);
            for (int32_t x = canvas.X0(); x < canvas.X1(); ++x) {
                float sx, sy;
                if (!canvas.Map(x, y, sx, sy))
                    continue;
                uint32_t r = 0, g = 0, b = 0;
                for (int32_t k = -radius; k <= radius; ++k) {
                    int32_t yy = std::clamp(y + k, ey0, ey1 - 1);
                    const uint32_t* s =
                        &across[(size_t(yy - ey0) * size_t(columns) + size_t(x - canvas.X0())) * 3];
                    r += s[0];
                    g += s[1];
                    b += s[2];
                }
                uint32_t mean = ((r + area / 2) / area) << 16 | ((g + area / 2) / area) << 8 |
                                ((b + area / 2) / area);
                row[x] = Combine(row[x], TintPixel(mean, tint), mode, weight);
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void Invert(const Canvas& canvas, int32_t mode) {
    const uint32_t tint = canvas.Tint();
    const int32_t weight = canvas.Weight();
    ForEachPixel(canvas, [&](int32_t, int32_t, float, float, uint32_t& pixel) {
        pixel = Combine(pixel, TintPixel(~pixel, tint), mode, weight);
    });
}

void FadeToColour(const Canvas& canvas, int32_t mode) {
    const double pi = 3.14159265358979323846;
    const double amount = double(canvas.Weight()) / 256.0;
    const int32_t weight = int32_t(std::lround(256.0 * (1.0 - std::cos(pi * amount)) / 2.0));
    const uint32_t colour = canvas.Tint();
    ForEachPixel(canvas, [&](int32_t, int32_t, float, float, uint32_t& pixel) {
        pixel = Combine(pixel, colour, mode, weight);
    });
}

}  // namespace effect

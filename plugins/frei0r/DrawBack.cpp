#include "DrawBack.h"

#include <cstddef>
#include <vector>

#include "PixelKernels.h"
#include "RowHalves.h"

namespace frei0r_bridge {

namespace {

// The row kernel for one call: the mode, whether the colour tints, and the output's byte order.
struct RowDrawer {
    PixelKernels::DrawRow draw;
    uint32_t tint, weight;
    void operator()(uint32_t* dst, const uint32_t* src, int32_t count) const {
        draw(dst, src, count, tint, weight);
    }
};

// dst[i] from base[offsets[i]], through `gathered` (one row's worth): a negative offset gives a
// transparent pixel, which leaves dst[i] as it is.
void DrawGathered(const RowDrawer& drawer, uint32_t* dst, const uint32_t* base,
                  const ptrdiff_t* offsets, int32_t count, uint32_t* gathered) {
    for (int32_t i = 0; i < count; ++i)
        gathered[i] = offsets[i] >= 0 ? base[offsets[i]] : 0u;
    drawer(dst, gathered, count);
}

// Where the frame's pixels lie on the output and in the region.
struct Bounds {
    float left, top, right, bottom, width, height;
    bool InsideX(float sx) const { return left <= sx && sx < right && sx >= 0 && sx < width; }
    bool InsideY(float sy) const { return top <= sy && sy < bottom && sy >= 0 && sy < height; }
};

// Moved and scaled only: a column's region x is the same on every row and a row's region y the
// same in every column (the zero terms stay zeros of one sign, whatever the other coordinate),
// so each is computed once.
void DrawAxisAligned(const effect::Canvas& canvas, const PluginOutput& output, const Bounds& b,
                     const RowDrawer& drawer) {
    const float* m = canvas.Inverse();
    const int32_t x0 = canvas.X0(), count = canvas.X1() - x0;
    std::vector<ptrdiff_t> columns(static_cast<size_t>(count));
    const float anyY = float(canvas.Y0());
    int32_t first = -1, last = -1;
    for (int32_t i = 0; i < count; ++i) {
        float sx, sy;
        effect::Canvas::MapPoint(m, float(x0 + i), anyY, sx, sy);
        columns[size_t(i)] = b.InsideX(sx) ? ptrdiff_t(int32_t(sx)) : -1;
        if (columns[size_t(i)] >= 0) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    if (first < 0)
        return;
    // A run of columns that shows consecutive output columns, and nothing beside it: the usual
    // case of a picture at its own size.
    bool straight = true;
    for (int32_t i = first; i <= last && straight; ++i)
        straight = columns[size_t(i)] == columns[size_t(first)] + (i - first);
    const float anyX = float(x0);
    std::vector<uint32_t> gathered(straight ? 0 : 2 * static_cast<size_t>(count));  // per part
    SplitRows(canvas.Y0(), canvas.Y1(), size_t(count), [&](int32_t begin, int32_t end, int part) {
        for (int32_t y = begin; y < end; ++y) {
            float sx, sy;
            effect::Canvas::MapPoint(m, anyX, float(y), sx, sy);
            if (!b.InsideY(sy))
                continue;
            const uint32_t* src = output.pixels + size_t(int32_t(sy)) * size_t(output.pitch);
            uint32_t* dst = canvas.Row(y) + x0;
            if (straight) {
                drawer(dst + first, src + columns[size_t(first)], last - first + 1);
            } else {
                DrawGathered(drawer, dst, src, columns.data(), count,
                             gathered.data() + size_t(part) * size_t(count));
            }
        }
    });
}

// Turned or in perspective: every pixel mapped on its own.
void DrawMapped(const effect::Canvas& canvas, const PluginOutput& output, const Bounds& b,
                const RowDrawer& drawer) {
    const float* m = canvas.Inverse();
    const int32_t x0 = canvas.X0(), count = canvas.X1() - x0;
    std::vector<ptrdiff_t> offsets(2 * static_cast<size_t>(count));  // one row per part
    std::vector<uint32_t> gathered(2 * static_cast<size_t>(count));
    SplitRows(canvas.Y0(), canvas.Y1(), size_t(count), [&](int32_t begin, int32_t end, int part) {
        ptrdiff_t* row = offsets.data() + size_t(part) * size_t(count);
        uint32_t* pixels = gathered.data() + size_t(part) * size_t(count);
        for (int32_t y = begin; y < end; ++y) {
            const float fy = float(y);
            for (int32_t i = 0; i < count; ++i) {
                float sx, sy;
                effect::Canvas::MapPoint(m, float(x0 + i), fy, sx, sy);
                row[i] =
                    b.InsideX(sx) && b.InsideY(sy)
                        ? ptrdiff_t(int32_t(sy)) * ptrdiff_t(output.pitch) + ptrdiff_t(int32_t(sx))
                        : -1;
            }
            DrawGathered(drawer, canvas.Row(y) + x0, output.pixels, row, count, pixels);
        }
    });
}

}  // namespace

void DrawBack(const effect::Canvas& canvas, int32_t mode, const PluginOutput& output,
              const PixelKernels& kernels) {
    if (canvas.Empty() || !effect::ValidBlendMode(mode))
        return;
    // White leaves the output's colours as they are, which needs no multiplication.
    const bool tinted = canvas.Tint() != 0x00FFFFFFu;
    const RowDrawer drawer{kernels.draw[mode][tinted][output.redFirst], canvas.Tint(),
                           uint32_t(canvas.Weight())};
    const Bounds bounds{canvas.Left(),   canvas.Top(),        canvas.Right(),
                        canvas.Bottom(), float(output.width), float(output.height)};
    const float* m = canvas.Inverse();
    if (m[1] == 0 && m[3] == 0 && m[6] == 0 && m[7] == 0)
        DrawAxisAligned(canvas, output, bounds, drawer);
    else
        DrawMapped(canvas, output, bounds, drawer);
}

}  // namespace frei0r_bridge

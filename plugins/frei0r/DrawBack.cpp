#include "DrawBack.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "RowHalves.h"

namespace frei0r_bridge {

namespace {

inline uint32_t SwapRedBlue(uint32_t p) {
    return (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
}

// v / 255 rounded down, for v up to 255 * 255: the product of two channels.
inline uint32_t Div255(uint32_t v) {
    return (v + 1 + (v >> 8)) >> 8;
}

template <int Mode>
inline uint32_t BlendChannel(uint32_t d, uint32_t s) {
    if constexpr (Mode == 1)
        return d & s;
    else if constexpr (Mode == 2)
        return d | s;
    else if constexpr (Mode == 3)
        return d ^ s;
    else if constexpr (Mode == 4)
        return Div255(d * s);
    else if constexpr (Mode == 5)
        return std::min<uint32_t>(d + s, 255);
    else if constexpr (Mode == 6)
        return d > s ? d - s : 0;
    else
        return s;
}

// One output pixel `s` over the frame's pixel `d`. Branch-free, so that row loops vectorise: a
// weight of 256 gives the blended value itself. A transparent pixel keeps `d` whole, fourth byte
// included; any other is written, if only to clear that byte.
template <int Mode, bool Tinted, bool RedFirst>
inline uint32_t DrawPixel(uint32_t d, uint32_t s, uint32_t tint, uint32_t weight) {
    if constexpr (RedFirst)
        s = SwapRedBlue(s);
    const uint32_t alpha = s >> 24;
    const uint32_t w = ((alpha + (alpha >> 7)) * weight) >> 8;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFFu;
        if constexpr (Tinted)
            sc = Div255(sc * ((tint >> shift) & 0xFFu));
        const uint32_t dc = (d >> shift) & 0xFFu;
        out |= ((w * BlendChannel<Mode>(dc, sc) + (256 - w) * dc) >> 8) << shift;
    }
    return alpha == 0 ? d : out;
}

using StraightRow = void (*)(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t tint,
                             uint32_t weight);
using GatheredRow = void (*)(uint32_t* dst, const uint32_t* base, const ptrdiff_t* offsets,
                             int32_t count, uint32_t tint, uint32_t weight);

// dst[i] from src[i].
template <int Mode, bool Tinted, bool RedFirst>
void DrawStraight(uint32_t* __restrict dst, const uint32_t* __restrict src, int32_t count,
                  uint32_t tint, uint32_t weight) {
    if constexpr (Mode == 0 && !Tinted) {
        // Most filters give every pixel alpha 255; at full opacity in the normal mode that is a
        // copy of the colours, which the full arithmetic would only arrive at.
        if (weight == 256) {
            uint32_t all = 0xFF000000u;
            for (int32_t i = 0; i < count; ++i)
                all &= src[i];
            if (all == 0xFF000000u) {
                for (int32_t i = 0; i < count; ++i) {
                    const uint32_t s = RedFirst ? SwapRedBlue(src[i]) : src[i];
                    dst[i] = s & 0x00FFFFFFu;
                }
                return;
            }
        }
    }
    for (int32_t i = 0; i < count; ++i)
        dst[i] = DrawPixel<Mode, Tinted, RedFirst>(dst[i], src[i], tint, weight);
}

// dst[i] from base[offsets[i]]; a negative offset draws nothing.
template <int Mode, bool Tinted, bool RedFirst>
void DrawGathered(uint32_t* __restrict dst, const uint32_t* __restrict base,
                  const ptrdiff_t* __restrict offsets, int32_t count, uint32_t tint,
                  uint32_t weight) {
    for (int32_t i = 0; i < count; ++i) {
        if (offsets[i] >= 0)
            dst[i] = DrawPixel<Mode, Tinted, RedFirst>(dst[i], base[offsets[i]], tint, weight);
    }
}

struct RowKernels {
    StraightRow straight;
    GatheredRow gathered;
};

template <int Mode, bool Tinted, bool RedFirst>
constexpr RowKernels KernelsFor() {
    return {&DrawStraight<Mode, Tinted, RedFirst>, &DrawGathered<Mode, Tinted, RedFirst>};
}

template <bool Tinted, bool RedFirst>
RowKernels KernelsForMode(int32_t mode) {
    switch (mode) {
        case 1:
            return KernelsFor<1, Tinted, RedFirst>();
        case 2:
            return KernelsFor<2, Tinted, RedFirst>();
        case 3:
            return KernelsFor<3, Tinted, RedFirst>();
        case 4:
            return KernelsFor<4, Tinted, RedFirst>();
        case 5:
            return KernelsFor<5, Tinted, RedFirst>();
        case 6:
            return KernelsFor<6, Tinted, RedFirst>();
        default:
            return KernelsFor<0, Tinted, RedFirst>();
    }
}

// White leaves the output's colours as they are, which needs no multiplication.
RowKernels SelectKernels(int32_t mode, bool tinted, bool redFirst) {
    if (tinted)
        return redFirst ? KernelsForMode<true, true>(mode) : KernelsForMode<true, false>(mode);
    return redFirst ? KernelsForMode<false, true>(mode) : KernelsForMode<false, false>(mode);
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
                     const RowKernels& kernels) {
    const float* m = canvas.Inverse();
    const int32_t x0 = canvas.X0(), count = canvas.X1() - x0;
    const uint32_t tint = canvas.Tint(), weight = uint32_t(canvas.Weight());
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
    SplitRows(canvas.Y0(), canvas.Y1(), size_t(count), [&](int32_t begin, int32_t end, int) {
        for (int32_t y = begin; y < end; ++y) {
            float sx, sy;
            effect::Canvas::MapPoint(m, anyX, float(y), sx, sy);
            if (!b.InsideY(sy))
                continue;
            const uint32_t* src = output.pixels + size_t(int32_t(sy)) * size_t(output.pitch);
            uint32_t* dst = canvas.Row(y) + x0;
            if (straight) {
                kernels.straight(dst + first, src + columns[size_t(first)], last - first + 1, tint,
                                 weight);
            } else {
                kernels.gathered(dst, src, columns.data(), count, tint, weight);
            }
        }
    });
}

// Turned or in perspective: every pixel mapped on its own.
void DrawMapped(const effect::Canvas& canvas, const PluginOutput& output, const Bounds& b,
                const RowKernels& kernels) {
    const float* m = canvas.Inverse();
    const int32_t x0 = canvas.X0(), count = canvas.X1() - x0;
    const uint32_t tint = canvas.Tint(), weight = uint32_t(canvas.Weight());
    std::vector<ptrdiff_t> offsets(2 * static_cast<size_t>(count));  // one row per part
    SplitRows(canvas.Y0(), canvas.Y1(), size_t(count), [&](int32_t begin, int32_t end, int part) {
        ptrdiff_t* row = offsets.data() + size_t(part) * size_t(count);
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
            kernels.gathered(canvas.Row(y) + x0, output.pixels, row, count, tint, weight);
        }
    });
}

}  // namespace

void DrawBack(const effect::Canvas& canvas, int32_t mode, const PluginOutput& output) {
    if (canvas.Empty() || !effect::ValidBlendMode(mode))
        return;
    const RowKernels kernels = SelectKernels(mode, canvas.Tint() != 0x00FFFFFFu, output.redFirst);
    const Bounds bounds{canvas.Left(),   canvas.Top(),        canvas.Right(),
                        canvas.Bottom(), float(output.width), float(output.height)};
    const float* m = canvas.Inverse();
    if (m[1] == 0 && m[3] == 0 && m[6] == 0 && m[7] == 0)
        DrawAxisAligned(canvas, output, bounds, kernels);
    else
        DrawMapped(canvas, output, bounds, kernels);
}

}  // namespace frei0r_bridge

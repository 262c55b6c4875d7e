#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "render/PixelJob.h"
#include "render/PixelTables.h"

// The reference arithmetic, one pixel at a time. The plain tier is built from these; the vector
// tier must produce the same words and falls back to them for rare cases.
namespace kelvane::kernels {

// The terms of the mapping that depend on the row only.
struct RowTerms {
    float r0, r1, r2;
};

inline RowTerms MapRow(const float* m, int32_t y) {
    const float fy = float(y);
    return {m[1] * fy + m[2], m[4] * fy + m[5], m[7] * fy + m[8]};
}

// With a bottom row of exactly 0, 0, 1 the denominator is exactly 1 and the division is skipped.
inline bool IsAffine(const float* m) {
    return m[6] == 0.0f && m[7] == 0.0f && m[8] == 1.0f;
}

inline void MapPixel(const float* m, const RowTerms& row, bool affine, int32_t x, float* sx,
                     float* sy) {
    const float fx = float(x);
    const float u = m[0] * fx + row.r0;
    const float v = m[3] * fx + row.r1;
    if (affine) {
        *sx = u;
        *sy = v;
        return;
    }
    const float w = m[6] * fx + row.r2;
    *sx = u / w;
    *sy = v / w;
}

// Fails for not-a-numbers, so a singular inverse draws nothing.
inline bool InsideRegion(const PixelJob& job, float sx, float sy) {
    return job.regionLeft <= sx && sx < job.regionRight && job.regionTop <= sy &&
           sy < job.regionBottom;
}

inline const uint32_t* SourceRow(const uint32_t* top, int32_t width, int32_t y) {
    return top - ptrdiff_t(y) * width;
}

inline uint32_t* DestinationRow(const PixelJob& job, int32_t y) {
    return job.destination - ptrdiff_t(y) * job.destinationWidth;
}

// sx * 256 is exact in single precision; the default rounding mode rounds ties to even.
inline int32_t RoundToEven(float v) {
    return int32_t(std::nearbyint(v));
}

inline uint32_t TintPixel(uint32_t s, uint32_t tint, const PixelTables& t) {
    return uint32_t(t.productOver255[s & 255][tint & 255]) |
           uint32_t(t.productOver255[(s >> 8) & 255][(tint >> 8) & 255]) << 8 |
           uint32_t(t.productOver255[(s >> 16) & 255][(tint >> 16) & 255]) << 16;
}

// (w * s + (256 - w) * d) >> 8 per channel, w from 0 to 256; fourth byte 0.
inline uint32_t MixPixel(uint32_t w, uint32_t s, uint32_t d) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t sc = (s >> shift) & 255;
        const uint32_t dc = (d >> shift) & 255;
        out |= ((w * sc + (256 - w) * dc) >> 8) << shift;
    }
    return out;
}

inline uint32_t PerChannel(const uint8_t (&table)[256][256], uint32_t d, uint32_t s) {
    return uint32_t(table[d & 255][s & 255]) |
           uint32_t(table[(d >> 8) & 255][(s >> 8) & 255]) << 8 |
           uint32_t(table[(d >> 16) & 255][(s >> 16) & 255]) << 16;
}

// Modes 1 to 6, unweighted.
inline uint32_t CombineMode(int32_t mode, uint32_t d, uint32_t s, const PixelTables& t) {
    switch (mode) {
        case 1:
            return d & s;
        case 2:
            return d | s;
        case 3:
            return d ^ s;
        case 4:
            return PerChannel(t.productOver255, d, s);
        case 5:
            return PerChannel(t.saturatingSum, d, s);
        default:
            return PerChannel(t.saturatingDiff, d, s);
    }
}

// Tint, opacity and blend of one sample s over the destination pixel d. coverage is used with
// keyed bilinear sampling and sources with alpha only.
inline uint32_t ShadePixel(const PixelJob& job, bool keyedBilinear, uint32_t d, uint32_t s,
                           uint32_t coverage, const PixelTables& t) {
    if (job.tint != kNoTint) {
        s = TintPixel(s, job.tint, t);
    }
    if (job.blendMode == 0) {
        if (keyedBilinear) {
            const uint32_t w = job.opacity == 0 ? coverage : (coverage * job.opacity) >> 8;
            return MixPixel(w, s, d);
        }
        return job.opacity == 0 ? s : MixPixel(job.opacity, s, d);
    }
    const uint32_t r = CombineMode(job.blendMode, d, s, t);
    return keyedBilinear ? MixPixel(coverage, r, d) : r;
}

// The same over a destination with straight alpha, presence P = a + (a >> 7). The pixel is laid
// with the weight W' it would be blended with (W in the normal mode, the coverage in modes 1 to
// 6, 256 unweighted) over P: the presence becomes P' = W' + ((P * (256 - W')) >> 8), kept as the
// alpha whose presence it is (P' - 1 above 128, so that a draw of weight 0 leaves the alpha as it
// was instead of raising it by one each time), and each colour channel is the mean of the drawn and
// the destination colour weighted 256 * W' and P * (256 - W'), rounded down. Over an opaque
// destination that is exactly the blend above; over an absent one, the drawn colour itself, so the
// colour stays straight instead of darkening towards the empty image's 0. In modes 1 to 6 the
// combined colour fades to the drawn colour as the destination's presence falls: there is nothing
// to combine with where it is absent.
inline uint32_t ShadeOverAlpha(const PixelJob& job, bool weighted, uint32_t d, uint32_t s,
                               uint32_t coverage, const PixelTables& t) {
    if (job.tint != kNoTint) {
        s = TintPixel(s, job.tint, t);
    }
    const uint32_t alpha = d >> 24;
    const uint32_t presence = alpha + (alpha >> 7);
    uint32_t w = 256;
    uint32_t r = s;
    if (job.blendMode == 0) {
        if (weighted) {
            w = job.opacity == 0 ? coverage : (coverage * job.opacity) >> 8;
        } else if (job.opacity != 0) {
            w = job.opacity;
        }
    } else {
        r = MixPixel(presence, CombineMode(job.blendMode, d, s, t), s);
        w = weighted ? coverage : 256;
    }
    const uint32_t laid = w + ((presence * (256 - w)) >> 8);
    const uint32_t drawnWeight = 256 * w;
    const uint32_t keptWeight = presence * (256 - w);
    const uint32_t total = drawnWeight + keptWeight;
    if (total == 0) {
        return d;
    }
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t rc = (r >> shift) & 255;
        const uint32_t dc = (d >> shift) & 255;
        out |= ((drawnWeight * rc + keptWeight * dc) / total) << shift;
    }
    return out | (laid > 128 ? laid - 1 : laid) << 24;
}

// Writes the shaded sample to *dst, over the destination's alpha when it has one.
inline void PutPixel(const PixelJob& job, bool weighted, uint32_t* dst, uint32_t s,
                     uint32_t coverage, const PixelTables& t) {
    *dst = job.destinationAlpha != 0 ? ShadeOverAlpha(job, weighted, *dst, s, coverage, t)
                                     : ShadePixel(job, weighted, *dst, s, coverage, t);
}

}  // namespace kelvane::kernels

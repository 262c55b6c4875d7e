#include "render/PixelTables.h"
#include "render/kernels/KernelEntry.h"
#include "render/kernels/ScalarPixel.h"

namespace kelvane {

namespace {

// The neighbours of one sample along one axis: one column (or row) alone at the region's edge,
// else two with the weight f on the second.
struct Taps {
    int32_t first;
    int32_t count;  // 1 or 2
    uint32_t f;
};

inline Taps AxisTaps(float s, int32_t low, int32_t high) {
    const int32_t fixed = kernels::RoundToEven(s * 256.0f) - 128;
    const int32_t i = fixed >> 8;  // arithmetic: floor
    const uint32_t f = uint32_t(fixed & 255);
    if (i < low) {
        return {low, 1, f};
    }
    if (i >= high - 1) {
        return {high - 1, 1, f};
    }
    return {i, 2, f};
}

inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t f) {
    return ((256 - f) * a + f * b + 128) >> 8;
}

// Interpolates 1, 2 or 4 neighbour values (v[row][column]) along x, then along y.
inline uint32_t Interpolate(const uint32_t v[2][2], const Taps& tx, const Taps& ty) {
    uint32_t h[2];
    for (int r = 0; r < ty.count; ++r) {
        h[r] = tx.count == 2 ? Lerp(v[r][0], v[r][1], tx.f) : v[r][0];
    }
    return ty.count == 2 ? Lerp(h[0], h[1], ty.f) : h[0];
}

inline uint32_t Channel(uint32_t p, int c) {
    return (p >> (8 * c)) & 255;
}

}  // namespace

uint32_t SampleBilinear(const uint32_t* source, int32_t width, const DrawRect& region, float sx,
                        float sy) {
    const Taps tx = AxisTaps(sx, region.left, region.right);
    const Taps ty = AxisTaps(sy, region.top, region.bottom);
    uint32_t p[2][2];
    for (int r = 0; r < ty.count; ++r) {
        const uint32_t* row = kernels::SourceRow(source, width, ty.first + r);
        for (int c = 0; c < tx.count; ++c) {
            p[r][c] = row[tx.first + c];
        }
    }
    if (tx.count == 1 && ty.count == 1) {
        return p[0][0];
    }
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        uint32_t v[2][2];
        for (int r = 0; r < ty.count; ++r) {
            for (int k = 0; k < tx.count; ++k) {
                v[r][k] = Channel(p[r][k], c);
            }
        }
        out |= Interpolate(v, tx, ty) << (8 * c);
    }
    return out;
}

uint32_t SampleBilinearKeyed(const uint32_t* source, int32_t width, const DrawRect& region,
                             uint32_t transparentColour, float sx, float sy, uint32_t* coverage) {
    const PixelTables& tables = GetPixelTables();
    const Taps tx = AxisTaps(sx, region.left, region.right);
    const Taps ty = AxisTaps(sy, region.top, region.bottom);
    uint32_t p[2][2];
    bool present[2][2];
    uint32_t count = 0;
    uint32_t sum[3] = {0, 0, 0};
    for (int r = 0; r < ty.count; ++r) {
        const uint32_t* row = kernels::SourceRow(source, width, ty.first + r);
        for (int k = 0; k < tx.count; ++k) {
            p[r][k] = row[tx.first + k];
            present[r][k] = p[r][k] != transparentColour;
            if (present[r][k]) {
                ++count;
                for (int c = 0; c < 3; ++c) {
                    sum[c] += Channel(p[r][k], c);
                }
            }
        }
    }
    if (tx.count == 1 && ty.count == 1) {
        *coverage = present[0][0] ? 256 : 0;
        return present[0][0] ? p[0][0] : 0;
    }
    uint32_t presence[2][2];
    for (int r = 0; r < ty.count; ++r) {
        for (int k = 0; k < tx.count; ++k) {
            presence[r][k] = present[r][k] ? 256 : 0;
        }
    }
    *coverage = Interpolate(presence, tx, ty);
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        // An absent neighbour takes the mean of the present ones, so that the transparent
        // colour does not bleed into the edge; the edge fades through the coverage instead.
        const uint32_t mean = tables.mean[count][sum[c]];
        uint32_t v[2][2];
        for (int r = 0; r < ty.count; ++r) {
            for (int k = 0; k < tx.count; ++k) {
                v[r][k] = present[r][k] ? Channel(p[r][k], c) : mean;
            }
        }
        out |= Interpolate(v, tx, ty) << (8 * c);
    }
    return out;
}

// The colour with presences between 0 and 256 generalises the mean substitution above: each
// neighbour's channel v is first faded towards the fill F, the neighbours' mean weighted by
// presence, as (P * v + (256 - P) * F + 128) >> 8, and the faded values are interpolated as
// usual. F = floor(sum(P * v) / sum(P)) (0 when nothing is present). A fully present neighbour
// keeps v, an absent one takes F, and with presences of 0 and 256 only F is the plain mean, so
// the result is exactly keyed sampling's there and plain sampling's when all are present; a
// transparent neighbour's colour contributes in proportion to its presence only.
uint32_t SampleBilinearAlpha(const uint32_t* source, int32_t width, const DrawRect& region,
                             uint32_t transparentColour, float sx, float sy, uint32_t* coverage) {
    const Taps tx = AxisTaps(sx, region.left, region.right);
    const Taps ty = AxisTaps(sy, region.top, region.bottom);
    uint32_t p[2][2];
    uint32_t presence[2][2];
    uint32_t total = 0;
    uint32_t sum[3] = {0, 0, 0};
    for (int r = 0; r < ty.count; ++r) {
        const uint32_t* row = kernels::SourceRow(source, width, ty.first + r);
        for (int k = 0; k < tx.count; ++k) {
            p[r][k] = row[tx.first + k];
            presence[r][k] = AlphaPresence(p[r][k], transparentColour);
            total += presence[r][k];
            for (int c = 0; c < 3; ++c) {
                sum[c] += presence[r][k] * Channel(p[r][k], c);
            }
        }
    }
    if (tx.count == 1 && ty.count == 1) {
        *coverage = presence[0][0];
        return presence[0][0] != 0 ? p[0][0] & 0x00FFFFFF : 0;
    }
    *coverage = Interpolate(presence, tx, ty);
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t fill = total == 0 ? 0 : sum[c] / total;
        uint32_t v[2][2];
        for (int r = 0; r < ty.count; ++r) {
            for (int k = 0; k < tx.count; ++k) {
                const uint32_t w = presence[r][k];
                v[r][k] = (w * Channel(p[r][k], c) + (256 - w) * fill + 128) >> 8;
            }
        }
        out |= Interpolate(v, tx, ty) << (8 * c);
    }
    return out;
}

namespace kernels {

void RunBilinearScalar(const PixelJob& job) {
    const PixelTables& tables = GetPixelTables();
    const bool keyed = TransparentActive(job.transparentColour);
    const bool alpha = job.sourceAlpha != 0;
    const bool affine = IsAffine(job.inverse);
    const DrawRect region{job.left, job.top, job.right, job.bottom};
    for (int32_t y = job.y0; y < job.y1; ++y) {
        const RowTerms row = MapRow(job.inverse, y);
        uint32_t* dst = DestinationRow(job, y);
        for (int32_t x = job.x0; x < job.x1; ++x) {
            float sx, sy;
            MapPixel(job.inverse, row, affine, x, &sx, &sy);
            if (!InsideRegion(job, sx, sy)) {
                continue;
            }
            if (alpha) {
                uint32_t coverage = 0;
                const uint32_t s = SampleBilinearAlpha(job.source, job.sourceWidth, region,
                                                       job.transparentColour, sx, sy, &coverage);
                PutPixel(job, true, &dst[x], s, coverage, tables);
            } else if (keyed) {
                uint32_t coverage = 0;
                const uint32_t s = SampleBilinearKeyed(job.source, job.sourceWidth, region,
                                                       job.transparentColour, sx, sy, &coverage);
                PutPixel(job, true, &dst[x], s, coverage, tables);
            } else {
                const uint32_t s = SampleBilinear(job.source, job.sourceWidth, region, sx, sy);
                PutPixel(job, false, &dst[x], s, 256, tables);
            }
        }
    }
}

}  // namespace kernels
}  // namespace kelvane

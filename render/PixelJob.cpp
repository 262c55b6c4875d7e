#include "render/PixelJob.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/DrawThreadPool.h"
#include "render/EventGeometry.h"
#include "render/PixelImage.h"
#include "render/kernels/KernelEntry.h"
#include "render/kernels/VectorSet.h"

namespace kelvane {

namespace {

// Model layout 0x??BBGGRR to pixel layout, the top byte kept (it marks an inactive key).
uint32_t KeyToPixelLayout(uint32_t colour) {
    return SwapRedBlue(colour) | (colour & 0xFF000000);
}

// Footprint bounds far outside any image; truncated towards zero like a plain conversion.
int64_t TruncateBound(float v) {
    constexpr float kLimit = 1099511627776.0f;  // 2^40
    return int64_t(std::clamp(v, -kLimit, kLimit));
}

// Narrows the visit rectangle to the projected region plus one pixel on each side. When the
// region crosses the horizon (denominators of both signs) or a corner does not project to a
// finite point, the footprint is unbounded and the rectangle stays as it is.
void CullFootprint(const float* f, const PixelJob& job, int64_t* x0, int64_t* x1, int64_t* y0,
                   int64_t* y1) {
    const float xs[4] = {job.regionLeft, job.regionRight, job.regionLeft, job.regionRight};
    const float ys[4] = {job.regionTop, job.regionTop, job.regionBottom, job.regionBottom};
    float px[4], py[4], w[4];
    bool allNonNegative = true;
    bool allNonPositive = true;
    for (int i = 0; i < 4; ++i) {
        w[i] = f[6] * xs[i] + f[7] * ys[i] + f[8];
        px[i] = f[0] * xs[i] + f[1] * ys[i] + f[2];
        py[i] = f[3] * xs[i] + f[4] * ys[i] + f[5];
        allNonNegative = allNonNegative && w[i] >= 0.0f;
        allNonPositive = allNonPositive && w[i] <= 0.0f;
    }
    if (!allNonNegative && !allNonPositive) {
        return;
    }
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    for (int i = 0; i < 4; ++i) {
        const float x = px[i] / w[i];
        const float y = py[i] / w[i];
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        minX = std::min(minX, TruncateBound(x));
        maxX = std::max(maxX, TruncateBound(x));
        minY = std::min(minY, TruncateBound(y));
        maxY = std::max(maxY, TruncateBound(y));
    }
    *x0 = std::max(*x0, minX - 1);
    *x1 = std::min(*x1, maxX + 1);
    *y0 = std::max(*y0, minY - 1);
    *y1 = std::min(*y1, maxY + 1);
}

}  // namespace

bool PreparePixelJob(const DrawRequest& r, PixelJob* job) {
    if (r.destination == nullptr || r.source == nullptr || r.destinationWidth <= 0 ||
        r.destinationHeight <= 0 || r.sourceWidth <= 0 || r.sourceHeight <= 0) {
        return false;
    }
    if (r.forward == nullptr && r.inverse == nullptr) {
        return false;
    }
    PixelJob j;
    j.tier = r.tier;
    j.drawMethod = r.drawMethod;
    j.blendMode = r.blendMode;

    int64_t x0 = std::max(r.clip.left, 0);
    int64_t x1 = std::min(r.clip.right, r.destinationWidth);
    int64_t y0 = std::max(r.clip.top, 0);
    int64_t y1 = std::min(r.clip.bottom, r.destinationHeight);

    j.left = std::max(r.region.left, 0);
    j.right = std::min(r.region.right, r.sourceWidth);
    j.top = std::max(r.region.top, 0);
    j.bottom = std::min(r.region.bottom, r.sourceHeight);
    // An empty region or clip rectangle would fail every sampling test.
    if (j.left >= j.right || j.top >= j.bottom || x0 >= x1 || y0 >= y1) {
        return false;
    }
    j.regionLeft = float(j.left);
    j.regionRight = float(j.right);
    j.regionTop = float(j.top);
    j.regionBottom = float(j.bottom);

    j.transparentColour = KeyToPixelLayout(r.transparentColour);
    j.tint = SwapRedBlue(r.colour);
    j.opacity = r.colour >> 24;
    j.inverseOpacity = 256 - j.opacity;
    j.sourceAlpha = r.sourceAlpha ? 1 : 0;
    j.destinationAlpha = r.destinationAlpha ? 1 : 0;

    float forward[9];
    if (r.forward != nullptr) {
        std::memcpy(forward, r.forward, sizeof forward);
    } else {
        InvertMatrix(r.inverse, forward);
    }
    if (r.inverse != nullptr) {
        std::memcpy(j.inverse, r.inverse, sizeof j.inverse);
    } else {
        InvertMatrix(r.forward, j.inverse);
    }

    CullFootprint(forward, j, &x0, &x1, &y0, &y1);
    if (x0 >= x1 || y0 >= y1) {
        return false;
    }
    j.x0 = int32_t(x0);
    j.x1 = int32_t(x1);
    j.y0 = int32_t(y0);
    j.y1 = int32_t(y1);
    j.destination = r.destination + ptrdiff_t(r.destinationHeight - 1) * r.destinationWidth;
    j.destinationWidth = r.destinationWidth;
    j.source = r.source + ptrdiff_t(r.sourceHeight - 1) * r.sourceWidth;
    j.sourceWidth = r.sourceWidth;
    *job = j;
    return true;
}

void DrawTransformed(const DrawRequest& request, DrawThreadPool* pool) {
    PixelJob job;
    if (!PreparePixelJob(request, &job)) {
        return;
    }
    RunBands(pool, job, job.y0, job.y1);
}

void DrawTransformed(PixelImage& destination, const DrawRect& clip, DrawThreadPool* pool,
                     int32_t tier, int32_t drawMethod, const PixelImage& source,
                     const DrawRect& region, uint32_t transparentColour, uint32_t colour,
                     int32_t blendMode, const float* forward, const float* inverse) {
    if (destination.Empty() || source.Empty() || destination.BitsPerPixel() != 32 ||
        source.BitsPerPixel() != 32) {
        return;
    }
    DrawRequest r;
    r.destination = reinterpret_cast<uint32_t*>(destination.Pixels());
    r.destinationWidth = destination.Width();
    r.destinationHeight = destination.Height();
    r.clip = clip;
    r.tier = tier;
    r.drawMethod = drawMethod;
    r.source = reinterpret_cast<const uint32_t*>(source.Pixels());
    r.sourceWidth = source.Width();
    r.sourceHeight = source.Height();
    r.region = region;
    r.transparentColour = transparentColour;
    r.colour = colour;
    r.blendMode = blendMode;
    r.forward = forward;
    r.inverse = inverse;
    r.sourceAlpha = source.Alpha() == PixelAlpha::Straight;
    r.destinationAlpha = destination.Alpha() == PixelAlpha::Straight;
    DrawTransformed(r, pool);
}

void RunPixelJob(const PixelJob& job) {
    if (job.tier < 0 || job.tier > kMaxTier || job.drawMethod < 1 || job.drawMethod > 4 ||
        job.blendMode < 0 || job.blendMode > 6) {
        return;
    }
    // A hand-made job with an opacity beyond a byte would overflow the channel arithmetic.
    if (job.opacity > 255 || job.source == nullptr || job.destination == nullptr) {
        return;
    }
    if (job.x0 >= job.x1 || job.y0 >= job.y1 || job.left >= job.right || job.top >= job.bottom) {
        return;
    }
    const bool nearest = job.drawMethod <= 2;
    // Composing into an image with alpha is rare (nested projects with a transparent background);
    // the plain tier's arithmetic serves every tier there.
    if (job.destinationAlpha != 0) {
        nearest ? kernels::RunNearestScalar(job) : kernels::RunBilinearScalar(job);
        return;
    }
#if defined(__x86_64__)
    if (job.tier == 1 && kernels::ActiveVectorSet() == kernels::VectorSet::Avx2) {
        nearest ? kernels::RunNearestAvx2(job) : kernels::RunBilinearAvx2(job);
        return;
    }
#endif
#if defined(__SSE2__)
    if (job.tier == 1) {
        nearest ? kernels::RunNearestSse2(job) : kernels::RunBilinearSse2(job);
        return;
    }
#endif
    // Tier 1 where the vector set is not built draws the same pixels with the plain tier.
    nearest ? kernels::RunNearestScalar(job) : kernels::RunBilinearScalar(job);
}

}  // namespace kelvane

#include "render/kernels/KernelEntry.h"

#if defined(__x86_64__)

#include <algorithm>

#include "render/kernels/Avx2Pixel.h"
#include "render/kernels/ScalarPixel.h"
#include "render/kernels/Sse2Pixel.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace kelvane::kernels {

namespace {

using namespace avx2;

// Eight pixels per step; the source words are gathered in one instruction, lanes that do not
// sample are not read at all.
template <int Mode, bool Tinted, bool Opaque, bool Keyed, bool Affine>
struct NearestKernelAvx2 {
    static constexpr bool kCopy = Mode == 0 && Opaque && !Tinted && !Keyed;

    static void Run(const PixelJob& job) {
        // A plain translation streams whole rows; the 128-bit kernel does that already.
        if (Affine && job.inverse[0] == 1.0f && job.inverse[3] == 0.0f) {
            RunNearestSse2(job);
            return;
        }
        const Mapping map(job);
        const ShadeConstants c(job);
        const __m256i width = _mm256_set1_epi32(job.sourceWidth);
        const auto* source = reinterpret_cast<const int*>(job.source);
        for (int32_t y = job.y1 - 1; y >= job.y0; --y) {
            const RowTerms row = MapRow(job.inverse, y);
            const __m256 r0 = _mm256_set1_ps(row.r0);
            const __m256 r1 = _mm256_set1_ps(row.r1);
            const __m256 r2 = _mm256_set1_ps(row.r2);
            uint32_t* dst = DestinationRow(job, y);
            for (int32_t x = job.x0; x < job.x1; x += 8) {
                const int32_t n = std::min(8, job.x1 - x);
                __m256 sx, sy;
                const __m256 insidePs = map.Map<Affine>(x, n, r0, r1, r2, &sx, &sy);
                if (_mm256_movemask_ps(insidePs) == 0) {
                    continue;
                }
                __m256i draw = _mm256_castps_si256(insidePs);
                // Inside the region both are non-negative, so truncation is the floor; row
                // times width stays within 2^30 for any image that can be allocated.
                const __m256i at = _mm256_sub_epi32(
                    _mm256_cvttps_epi32(sx), _mm256_mullo_epi32(_mm256_cvttps_epi32(sy), width));
                const __m256i s = _mm256_mask_i32gather_epi32(c.zero, source, at, draw, 4);
                if constexpr (Keyed) {
                    draw = _mm256_andnot_si256(_mm256_cmpeq_epi32(s, c.key), draw);
                }
                const int bits = _mm256_movemask_ps(_mm256_castsi256_ps(draw));
                if (bits == 0) {
                    continue;
                }
                if constexpr (kCopy) {
                    if (bits == 0xFF) {
                        StorePixels(dst + x, n, s);
                        continue;
                    }
                }
                const __m256i d = LoadPixels(dst + x, n);
                const __m256i r = Shade<Mode, Tinted, Opaque>(s, d, c);
                StorePixels(dst + x, n, bits == 0xFF ? r : Select(draw, r, d));
            }
        }
    }
};

}  // namespace

void RunNearestAvx2(const PixelJob& job) {
    sse2::RunFamily<NearestKernelAvx2>(job, IsAffine(job.inverse));
}

}  // namespace kelvane::kernels

#pragma GCC pop_options

#endif

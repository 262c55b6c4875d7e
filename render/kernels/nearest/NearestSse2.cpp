#include "render/kernels/KernelEntry.h"

#if defined(__SSE2__)

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/kernels/ScalarPixel.h"
#include "render/kernels/Sse2Pixel.h"

namespace kelvane::kernels {

namespace {

using namespace sse2;

// Number of binary digits after the point of a finite float: r is a multiple of 2^-digits.
int32_t FractionDigits(float r) {
    if (r == 0.0f) {
        return 0;
    }
    int exponent = 0;
    const float mantissa = std::frexp(r, &exponent);  // r = mantissa * 2^exponent
    auto bits = uint32_t(std::fabs(std::ldexp(mantissa, 24)));
    int32_t low = exponent - 24;
    while ((bits & 1) == 0) {
        bits >>= 1;
        ++low;
    }
    return low < 0 ? -low : 0;
}

// A row whose mapping is a plain horizontal translation: sx = x + r0 and sy = r1 for every x.
// While x + r0 is exact in single precision, floor(sx) = x + floor(r0), so the source pixels
// of the row lie side by side and need neither mapping nor gathering. Returns the columns
// [*spanX0, *spanX1) where this holds and the pixel samples, and the offset floor(r0).
bool TranslationSpan(const PixelJob& job, float r0, int32_t x0, int32_t x1, int32_t* spanX0,
                     int32_t* spanX1, int32_t* offset) {
    constexpr float kLimit = 16777216.0f;  // 2^24
    if (!(std::fabs(r0) < kLimit)) {
        return false;
    }
    const int32_t digits = FractionDigits(r0);
    if (digits > 24) {
        return false;
    }
    // Exact while x + r0 < 2^(24 - digits); below zero it is exact anyway.
    const double exactEnd = std::ceil(std::ldexp(1.0, 24 - digits) - double(r0));
    const auto k = int32_t(std::floor(r0));
    const int64_t a = std::max<int64_t>(x0, int64_t(job.left) - k);
    const int64_t b = std::min<int64_t>({int64_t(x1), int64_t(job.right) - k, int64_t(exactEnd)});
    if (a >= b) {
        return false;
    }
    *spanX0 = int32_t(a);
    *spanX1 = int32_t(b);
    *offset = k;
    return true;
}

template <int Mode, bool Tinted, bool Opaque, bool Keyed, bool Affine>
struct NearestKernel {
    // The whole source word is copied: normal mode, opaque, no tint, no key.
    static constexpr bool kCopy = Mode == 0 && Opaque && !Tinted && !Keyed;

    static void Block(uint32_t* dst, int32_t n, __m128i s, __m128i draw, const ShadeConstants& c) {
        if constexpr (Keyed) {
            draw = _mm_andnot_si128(KeyHits(s, c), draw);
        }
        const int bits = _mm_movemask_ps(_mm_castsi128_ps(draw));
        if (bits == 0) {
            return;
        }
        if constexpr (Keyed) {
            if (c.alpha) {
                __m128i lo, hi;
                AlphaPresence16(s, &lo, &hi);
                const __m128i d = LoadPixels(dst, n);
                const __m128i r = Shade<Mode, Tinted, Opaque, true>(s, d, lo, hi, c);
                StorePixels(dst, n, bits == 0xF ? r : Select(draw, r, d));
                return;
            }
        }
        if constexpr (kCopy) {
            if (bits == 0xF) {
                StorePixels(dst, n, s);
                return;
            }
        }
        const __m128i d = LoadPixels(dst, n);
        const __m128i r = Shade<Mode, Tinted, Opaque, false>(s, d, c.zero, c.zero, c);
        StorePixels(dst, n, bits == 0xF ? r : Select(draw, r, d));
    }

    // Row x from xs to xe, in pieces: first the mapping and the source offsets of the whole
    // piece, then the reads and the blends, so that the reads of many blocks are in flight at
    // once instead of each waiting for its own mapping.
    static void General(const PixelJob& job, const Mapping& map, const ShadeConstants& c,
                        const RowTerms& row, uint32_t* dst, int32_t xs, int32_t xe) {
        constexpr int32_t kPiece = 256;
        const __m128 r0 = _mm_set1_ps(row.r0);
        const __m128 r1 = _mm_set1_ps(row.r1);
        const __m128 r2 = _mm_set1_ps(row.r2);
        const __m128i width = _mm_set1_epi32(job.sourceWidth);
        const uint32_t* src = job.source;
        alignas(16) int32_t offsets[kPiece];
        uint8_t masks[kPiece / 4];
        for (int32_t px = xs; px < xe; px += kPiece) {
            const int32_t pEnd = std::min(xe, px + kPiece);
            int any = 0;
            for (int32_t x = px, k = 0; x < pEnd; x += 4, ++k) {
                __m128 sx, sy;
                const __m128 inside =
                    map.Map<Affine>(x, std::min(4, pEnd - x), r0, r1, r2, &sx, &sy);
                const int bits = _mm_movemask_ps(inside);
                masks[k] = uint8_t(bits);
                any |= bits;
                // Lanes that do not sample read the top left pixel, which always exists. Row
                // times width stays within 2^30 for any image that can be allocated, so the low
                // 32 bits of the unsigned products are the signed ones.
                const __m128i row = _mm_cvttps_epi32(sy);
                const __m128i even = _mm_mul_epu32(row, width);
                const __m128i odd = _mm_mul_epu32(_mm_srli_si128(row, 4), width);
                const __m128i product =
                    _mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08));
                const __m128i at = _mm_sub_epi32(_mm_cvttps_epi32(sx), product);
                _mm_store_si128(reinterpret_cast<__m128i*>(offsets + 4 * k),
                                _mm_and_si128(_mm_castps_si128(inside), at));
            }
            if (any == 0) {
                continue;
            }
            for (int32_t x = px, k = 0; x < pEnd; x += 4, ++k) {
                const int bits = masks[k];
                if (bits == 0) {
                    continue;
                }
                const int32_t* o = offsets + 4 * k;
                const __m128i s = _mm_setr_epi32(int32_t(src[o[0]]), int32_t(src[o[1]]),
                                                 int32_t(src[o[2]]), int32_t(src[o[3]]));
                const __m128i lanes = _mm_setr_epi32(1, 2, 4, 8);
                const __m128i draw =
                    _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(bits), lanes), lanes);
                Block(dst + x, std::min(4, pEnd - x), s, draw, c);
            }
        }
    }

    static void Span(const uint32_t* src, uint32_t* dst, int32_t xs, int32_t xe,
                     const ShadeConstants& c) {
        if constexpr (kCopy) {
            std::memcpy(dst + xs, src + xs, size_t(xe - xs) * 4);
        } else {
            const __m128i all = _mm_set1_epi32(-1);
            for (int32_t x = xs; x < xe; x += 4) {
                const int32_t n = std::min(4, xe - x);
                const __m128i draw =
                    n == 4 ? all : _mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(n));
                Block(dst + x, n, LoadPixels(src + x, n), draw, c);
            }
        }
    }

    static void Run(const PixelJob& job) {
        const Mapping map(job);
        const ShadeConstants c(job);
        const bool translation = Affine && job.inverse[0] == 1.0f && job.inverse[3] == 0.0f;
        // Bottom-up bitmaps: the last row lies first in memory, so walking the rows upwards
        // streams through both images in address order, which the prefetchers follow.
        for (int32_t y = job.y1 - 1; y >= job.y0; --y) {
            const RowTerms row = MapRow(job.inverse, y);
            uint32_t* dst = DestinationRow(job, y);
            int32_t a, b, k;
            if (translation && TranslationSpan(job, row.r0, job.x0, job.x1, &a, &b, &k)) {
                // sy = 0 * x + r1 = r1 for the whole row.
                if (!(job.regionTop <= row.r1 && row.r1 < job.regionBottom)) {
                    continue;
                }
                const uint32_t* src = SourceRow(job.source, job.sourceWidth, int32_t(row.r1)) + k;
                General(job, map, c, row, dst, job.x0, a);
                Span(src, dst, a, b, c);
                General(job, map, c, row, dst, b, job.x1);
            } else {
                General(job, map, c, row, dst, job.x0, job.x1);
            }
        }
    }
};

}  // namespace

void RunNearestSse2(const PixelJob& job) {
    sse2::RunFamily<NearestKernel>(job, IsAffine(job.inverse));
}

}  // namespace kelvane::kernels

#endif

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

// Source offsets col - row * width of eight pixels, and which of them sample, for a piece of
// one row. Lanes that do not sample get offset 0, the top left pixel, which always exists.
struct RowPiece {
    static constexpr int32_t kPixels = 256;
    alignas(32) int32_t offsets[kPixels];
    uint8_t masks[kPixels / 8];

    // Returns false when no pixel of the piece samples.
    template <bool Affine>
    bool Map(const Mapping& map, const RowTerms& row, int32_t x0, int32_t x1, __m256i width) {
        const __m256 r0 = _mm256_set1_ps(row.r0);
        const __m256 r1 = _mm256_set1_ps(row.r1);
        const __m256 r2 = _mm256_set1_ps(row.r2);
        const __m256 eight = _mm256_set1_ps(8.0f);
        __m256 fx = map.Columns(x0);
        int any = 0;
        int32_t k = 0;
        for (int32_t x = x0; x < x1; x += 8, ++k) {
            __m256 sx, sy;
            __m256 inside = map.MapColumns<Affine>(fx, r0, r1, r2, &sx, &sy);
            fx = _mm256_add_ps(fx, eight);
            if (x1 - x < 8) {
                inside = _mm256_and_ps(inside, _mm256_castsi256_ps(_mm256_cmpgt_epi32(
                                                   _mm256_set1_epi32(x1 - x), map.lanes)));
            }
            const int bits = _mm256_movemask_ps(inside);
            masks[k] = uint8_t(bits);
            any |= bits;
            // Inside the region both are non-negative, so truncation is the floor; row times
            // width stays within 2^30 for any image that can be allocated.
            const __m256i at = _mm256_sub_epi32(_mm256_cvttps_epi32(sx),
                                                _mm256_mullo_epi32(_mm256_cvttps_epi32(sy), width));
            _mm256_store_si256(reinterpret_cast<__m256i*>(offsets + 8 * k),
                               _mm256_and_si256(_mm256_castps_si256(inside), at));
        }
        return any != 0;
    }
};

// Eight pixels per step, in two passes over each piece of a row: first the mapping and the
// source offsets of the whole piece, then the reads and the blends. The source words are read
// one by one: this keeps many independent reads in flight, where a gather instruction (slow on
// some processors with AVX2) makes each block wait for all eight of its reads.
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
        const uint32_t* source = job.source;
        RowPiece piece;
        for (int32_t y = job.y1 - 1; y >= job.y0; --y) {
            const RowTerms row = MapRow(job.inverse, y);
            uint32_t* dst = DestinationRow(job, y);
            for (int32_t px = job.x0; px < job.x1; px += RowPiece::kPixels) {
                const int32_t pEnd = std::min(job.x1, px + RowPiece::kPixels);
                if (!piece.Map<Affine>(map, row, px, pEnd, width)) {
                    continue;
                }
                for (int32_t x = px, k = 0; x < pEnd; x += 8, ++k) {
                    const int bits = piece.masks[k];
                    if (bits != 0) {
                        Block(dst + x, std::min(8, pEnd - x), bits, source, piece.offsets + 8 * k,
                              c);
                    }
                }
            }
        }
    }

    static void Block(uint32_t* out, int32_t n, int bits, const uint32_t* source, const int32_t* o,
                      const ShadeConstants& c) {
        const __m256i s =
            _mm256_setr_epi32(int32_t(source[o[0]]), int32_t(source[o[1]]), int32_t(source[o[2]]),
                              int32_t(source[o[3]]), int32_t(source[o[4]]), int32_t(source[o[5]]),
                              int32_t(source[o[6]]), int32_t(source[o[7]]));
        __m256i draw = bits == 0xFF ? _mm256_set1_epi32(-1) : MaskLanes(bits);
        if constexpr (Keyed) {
            draw = _mm256_andnot_si256(KeyHits(s, c), draw);
            bits = _mm256_movemask_ps(_mm256_castsi256_ps(draw));
            if (bits == 0) {
                return;
            }
            if (c.alpha) {
                const __m256i d = LoadPixels(out, n);
                const __m256i r = ShadeKeyed<Mode, Tinted, Opaque>(s, d, AlphaPresence(s), c);
                StorePixels(out, n, bits == 0xFF ? r : Select(draw, r, d));
                return;
            }
        }
        if constexpr (kCopy) {
            StorePixels(out, n, bits == 0xFF ? s : Select(draw, s, LoadPixels(out, n)));
            return;
        }
        const __m256i d = LoadPixels(out, n);
        const __m256i r = Shade<Mode, Tinted, Opaque>(s, d, c);
        StorePixels(out, n, bits == 0xFF ? r : Select(draw, r, d));
    }
};

}  // namespace

void RunNearestAvx2(const PixelJob& job) {
    sse2::RunFamily<NearestKernelAvx2>(job, IsAffine(job.inverse));
}

}  // namespace kelvane::kernels

#pragma GCC pop_options

#endif

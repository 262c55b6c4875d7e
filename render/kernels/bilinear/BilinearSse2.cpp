#include "render/kernels/KernelEntry.h"

#if defined(__SSE2__)

#include <algorithm>

#include "render/kernels/ScalarPixel.h"
#include "render/kernels/Sse2Pixel.h"

namespace kelvane::kernels {

namespace {

using namespace sse2;

// Each sample reads a 2 x 2 block whose top-left corner is clamped into the region, with the
// weight of the second column (row) forced to 0 or 256 where the reference uses one column
// (row) alone: (256 - f) * p0 + f * p1 with f = 0 or 256 is exactly 256 * p, so the channels
// are those of the reference. Where both directions use one pixel, the reference returns it
// whole; there all four lanes, fourth byte included, reproduce it exactly. A region one pixel
// wide (high) reads that column (row) twice.
struct AxisClamp {
    __m128i low, secondLast, zero, full, mask255, bias;
    bool wide;

    AxisClamp(int32_t lowEdge, int32_t highEdge) {
        low = _mm_set1_epi32(lowEdge);
        secondLast = _mm_set1_epi32(highEdge - 2);
        zero = _mm_setzero_si128();
        full = _mm_set1_epi32(256);
        mask255 = _mm_set1_epi32(255);
        bias = _mm_set1_epi32(128);
        wide = highEdge - lowEdge >= 2;
    }

    // s * 256 is exact; the conversion rounds ties to even like RoundToEven.
    void Taps(__m128 s, __m128i* first, __m128i* weight, __m128i* single) const {
        const __m128i fixed =
            _mm_sub_epi32(_mm_cvtps_epi32(_mm_mul_ps(s, _mm_set1_ps(256.0f))), bias);
        const __m128i i = _mm_srai_epi32(fixed, 8);
        const __m128i f = _mm_and_si128(fixed, mask255);
        if (!wide) {
            *first = low;
            *weight = zero;
            *single = _mm_set1_epi32(-1);
            return;
        }
        const __m128i below = _mm_cmplt_epi32(i, low);
        const __m128i above = _mm_cmpgt_epi32(i, secondLast);
        const __m128i edge = _mm_or_si128(below, above);
        if (_mm_movemask_epi8(edge) == 0) {  // the usual case: inside the region's edges
            *first = i;
            *weight = f;
            *single = edge;
            return;
        }
        *first = Select(below, low, Select(above, secondLast, i));
        *weight = Select(below, zero, Select(above, full, f));
        *single = edge;
    }
};

// ((256 - f) * p0 + f * p1 + 128) >> 8 = (256 * p0 + f * (p1 - p0) + 128) >> 8; the true sum is
// at most 65408, so the low halves of the products give it exactly.
inline __m128i Lerp16(__m128i f, __m128i p0, __m128i p1, __m128i c128) {
    return _mm_srli_epi16(
        _mm_add_epi16(
            _mm_add_epi16(_mm_slli_epi16(p0, 8), _mm_mullo_epi16(f, _mm_sub_epi16(p1, p0))), c128),
        8);
}

template <int Mode, bool Tinted, bool Opaque, bool Keyed, bool Affine>
struct BilinearKernel {
    static void Run(const PixelJob& job) {
        if (job.right - job.left >= 2) {
            Rows<true>(job);
        } else {
            Rows<false>(job);
        }
    }

    // What one block of four pixels needs from the source. A piece of a row is mapped first,
    // then read and blended, so that the reads of many blocks are under way at once.
    struct Fetched {
        int insideBits;
        __m128 inside, sx, sy;
        __m128i weightX, weightY, single;
        ptrdiff_t at[4];            // offset of each 2 x 2 block's top left word
        __m128i top[4], bottom[4];  // low half: the pixel's left and right neighbour
    };
    static constexpr int32_t kPiece = 128;

    template <bool Wide>
    static void Rows(const PixelJob& job) {
        const Mapping map(job);
        const ShadeConstants c(job);
        const AxisClamp ax(job.left, job.right);
        const AxisClamp ay(job.top, job.bottom);
        const DrawRect region{job.left, job.top, job.right, job.bottom};
        const __m128i c128 = _mm_set1_epi16(128);
        const __m128i fourth = _mm_set1_epi32(int32_t(0xFF000000));
        const ptrdiff_t w = job.sourceWidth;
        const ptrdiff_t secondRow = ay.wide ? w : 0;
        const SourceOffsets offsets(job);
        const int32_t xs = job.x0;
        const int32_t xe = job.x1;
        // Upwards: bottom-up bitmaps then stream through memory in address order.
        for (int32_t y = job.y1 - 1; y >= job.y0; --y) {
            const RowTerms terms = MapRow(job.inverse, y);
            const __m128 r0 = _mm_set1_ps(terms.r0);
            const __m128 r1 = _mm_set1_ps(terms.r1);
            const __m128 r2 = _mm_set1_ps(terms.r2);
            uint32_t* dst = DestinationRow(job, y);

            auto mapBlock = [&](int32_t x, Fetched& f) {
                const int32_t n = std::min(4, xe - x);
                f.inside = map.Map<Affine>(x, n, r0, r1, r2, &f.sx, &f.sy);
                f.insideBits = _mm_movemask_ps(f.inside);
                if (f.insideBits == 0) {
                    return;
                }
                if (f.insideBits != 0xF) {
                    // Lanes that do not sample take the region's corner: reads stay inside.
                    f.sx = SelectPs(f.inside, f.sx, map.left);
                    f.sy = SelectPs(f.inside, f.sy, map.top);
                }
                __m128i firstX, firstY, singleX, singleY;
                ax.Taps(f.sx, &firstX, &f.weightX, &singleX);
                ay.Taps(f.sy, &firstY, &f.weightY, &singleY);
                f.single = _mm_and_si128(singleX, singleY);
                offsets.Compute(firstX, firstY, w, f.at);
            };

            auto load = [&](Fetched& f) {
#pragma GCC unroll 4
                for (int i = 0; i < 4; ++i) {
                    const uint32_t* t = job.source + f.at[i];
                    const uint32_t* b = t - secondRow;
                    if constexpr (Wide) {
                        f.top[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t));
                        f.bottom[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b));
                    } else {
                        f.top[i] = _mm_shuffle_epi32(_mm_cvtsi32_si128(int32_t(*t)), 0);
                        f.bottom[i] = _mm_shuffle_epi32(_mm_cvtsi32_si128(int32_t(*b)), 0);
                    }
                }
            };

            auto finish = [&](int32_t x, const Fetched& f) {
                if (f.insideBits == 0) {
                    return;
                }
                const int32_t n = std::min(4, xe - x);
                int coverage[4] = {256, 256, 256, 256};
                int mixed = 0;
                int absentAll = 0;
                if constexpr (Keyed) {
                    for (int i = 0; i < 4; ++i) {
                        const __m128i block = _mm_unpacklo_epi64(f.top[i], f.bottom[i]);
                        const __m128i hits = KeyHits(block, c);
                        int absent = _mm_movemask_ps(_mm_castsi128_ps(hits));
                        int present = ~absent & 0xF;
                        if (c.alpha) {
                            // Absent: the key or alpha 0; fully present: alpha 255.
                            const __m128i a = _mm_srli_epi32(block, 24);
                            absent |= _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, c.zero)));
                            present &= _mm_movemask_ps(
                                _mm_castsi128_ps(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))));
                        }
                        if (absent == 0xF) {
                            coverage[i] = 0;
                            absentAll |= 1 << i;
                        } else if (present != 0xF) {
                            mixed |= 1 << i;
                        }
                    }
                }
                // Weights per pixel in 16-bit lanes: pixels 0 and 1, then 2 and 3.
                const __m128i fx16 = _mm_packs_epi32(f.weightX, f.weightX);
                const __m128i fy16 = _mm_packs_epi32(f.weightY, f.weightY);
                const __m128i fxPairs = _mm_unpacklo_epi16(fx16, fx16);
                const __m128i fyPairs = _mm_unpacklo_epi16(fy16, fy16);
                __m128i v[2];
                for (int k = 0; k < 2; ++k) {
                    const __m128i fxk = k == 0 ? _mm_unpacklo_epi32(fxPairs, fxPairs)
                                               : _mm_unpackhi_epi32(fxPairs, fxPairs);
                    const __m128i fyk = k == 0 ? _mm_unpacklo_epi32(fyPairs, fyPairs)
                                               : _mm_unpackhi_epi32(fyPairs, fyPairs);
                    // Left and right neighbours of two pixels, channels in 16-bit lanes.
                    const __m128i t = _mm_unpacklo_epi32(f.top[2 * k], f.top[2 * k + 1]);
                    const __m128i b = _mm_unpacklo_epi32(f.bottom[2 * k], f.bottom[2 * k + 1]);
                    const __m128i t0 = _mm_unpacklo_epi8(t, c.zero);
                    const __m128i t1 = _mm_unpackhi_epi8(t, c.zero);
                    const __m128i b0 = _mm_unpacklo_epi8(b, c.zero);
                    const __m128i b1 = _mm_unpackhi_epi8(b, c.zero);
                    const __m128i h0 = Lerp16(fxk, t0, t1, c128);
                    const __m128i h1 = Lerp16(fxk, b0, b1, c128);
                    v[k] = Lerp16(fyk, h0, h1, c128);
                }
                __m128i s = _mm_packus_epi16(v[0], v[1]);
                // The fourth byte survives only where one pixel alone is used.
                s = _mm_and_si128(s, _mm_or_si128(c.low24, _mm_and_si128(f.single, fourth)));
                __m128i covLo = c.zero, covHi = c.zero;
                if constexpr (Keyed) {
                    if (absentAll != 0) {
                        const __m128i lanes = _mm_setr_epi32(1, 2, 4, 8);
                        const __m128i gone =
                            _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(absentAll), lanes), lanes);
                        s = _mm_andnot_si128(gone, s);
                    }
                    if (mixed != 0) {
                        // Part of the block is transparent: the mean substitution (or the
                        // fill of partial alpha) is rare enough to be left to the reference.
                        alignas(16) uint32_t words[4];
                        alignas(16) float sxs[4], sys[4];
                        _mm_store_si128(reinterpret_cast<__m128i*>(words), s);
                        _mm_store_ps(sxs, f.sx);
                        _mm_store_ps(sys, f.sy);
                        for (int i = 0; i < 4; ++i) {
                            if ((mixed >> i) & 1) {
                                uint32_t cov = 0;
                                words[i] = c.alpha
                                               ? SampleBilinearAlpha(job.source, job.sourceWidth,
                                                                     region, job.transparentColour,
                                                                     sxs[i], sys[i], &cov)
                                               : SampleBilinearKeyed(job.source, job.sourceWidth,
                                                                     region, job.transparentColour,
                                                                     sxs[i], sys[i], &cov);
                                coverage[i] = int(cov);
                            }
                        }
                        s = _mm_load_si128(reinterpret_cast<const __m128i*>(words));
                    }
                    const auto c0 = int16_t(coverage[0]), c1 = int16_t(coverage[1]);
                    const auto c2 = int16_t(coverage[2]), c3 = int16_t(coverage[3]);
                    covLo = _mm_setr_epi16(c0, c0, c0, c0, c1, c1, c1, c1);
                    covHi = _mm_setr_epi16(c2, c2, c2, c2, c3, c3, c3, c3);
                }
                const __m128i d = LoadPixels(dst + x, n);
                __m128i r;
                if constexpr (Mode == 0 && !Opaque && !Tinted && !Keyed) {
                    r = MixFrom16(c.opacity16, v[0], v[1], d, c);
                } else if constexpr (Mode == 4 && !Tinted && !Keyed) {
                    r = MultiplyFrom16(v[0], v[1], d, c);
                } else {
                    r = Shade<Mode, Tinted, Opaque, Keyed>(s, d, covLo, covHi, c);
                }
                StorePixels(dst + x, n,
                            f.insideBits == 0xF ? r : Select(_mm_castps_si128(f.inside), r, d));
            };

            Fetched blocks[kPiece / 4];
            for (int32_t px = xs; px < xe; px += kPiece) {
                const int32_t pEnd = std::min(xe, px + kPiece);
                for (int32_t x = px, k = 0; x < pEnd; x += 4, ++k) {
                    mapBlock(x, blocks[k]);
                }
                for (int32_t x = px, k = 0; x < pEnd; x += 4, ++k) {
                    if (blocks[k].insideBits != 0) {
                        load(blocks[k]);
                        finish(x, blocks[k]);
                    }
                }
            }
        }
    }
};

}  // namespace

void RunBilinearSse2(const PixelJob& job) {
    sse2::RunFamily<BilinearKernel>(job, IsAffine(job.inverse));
}

}  // namespace kelvane::kernels

#endif

#include "render/kernels/KernelEntry.h"

#if defined(__x86_64__)

#include <algorithm>
#include <cstring>

#include "render/kernels/Avx2Pixel.h"
#include "render/kernels/ScalarPixel.h"
#include "render/kernels/Sse2Pixel.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace kelvane::kernels {

namespace {

using namespace avx2;

// The taps of eight samples along one axis of a region at least two pixels wide, as the 128-bit
// kernel clamps them: the 2 x 2 block's first column (row) is kept inside the region, and where
// the reference uses one column (row) alone the second one weighs 0 or 256.
struct AxisClamp {
    __m256i low, secondLast, zero, full, mask255, bias;
    __m256 scale;

    AxisClamp(int32_t lowEdge, int32_t highEdge) {
        low = _mm256_set1_epi32(lowEdge);
        secondLast = _mm256_set1_epi32(highEdge - 2);
        zero = _mm256_setzero_si256();
        full = _mm256_set1_epi32(256);
        mask255 = _mm256_set1_epi32(255);
        bias = _mm256_set1_epi32(128);
        scale = _mm256_set1_ps(256.0f);
    }

    // s * 256 is exact; the conversion rounds ties to even like RoundToEven.
    void Taps(__m256 s, __m256i* first, __m256i* weight, __m256i* single) const {
        const __m256i fixed = _mm256_sub_epi32(_mm256_cvtps_epi32(_mm256_mul_ps(s, scale)), bias);
        const __m256i i = _mm256_srai_epi32(fixed, 8);
        const __m256i f = _mm256_and_si256(fixed, mask255);
        const __m256i below = _mm256_cmpgt_epi32(low, i);
        const __m256i above = _mm256_cmpgt_epi32(i, secondLast);
        const __m256i edge = _mm256_or_si256(below, above);
        *single = edge;
        if (_mm256_testz_si256(edge, edge)) {
            *first = i;
            *weight = f;
            return;
        }
        *first = Select(below, low, Select(above, secondLast, i));
        *weight = Select(below, zero, Select(above, full, f));
    }
};

// ((256 - f) * p0 + f * p1 + 128) >> 8, exact in the low halves of the products.
inline __m256i Lerp16(__m256i f, __m256i p0, __m256i p1, __m256i c128) {
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_slli_epi16(p0, 8),
                                          _mm256_mullo_epi16(f, _mm256_sub_epi16(p1, p0))),
                         c128),
        8);
}

// Weights of pixels 4g to 4g + 3 spread over their four channels, in the order the neighbours
// come out of LoadPairs: pixels 4g and 4g + 1 in the low half, 4g + 2 and 4g + 3 in the high.
inline __m256i Spread(__m256i weights, __m256i index) {
    const __m256i w = _mm256_permutevar8x32_epi32(weights, index);
    return _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
}

// Two neighbouring source words of each of four pixels, as four 64-bit elements.
// The words are only 4-byte aligned, so each pair is read as bytes, not through a wider type.
inline int64_t LoadPair(const uint32_t* p) {
    int64_t pair;
    std::memcpy(&pair, p, sizeof(pair));
    return pair;
}

inline __m256i LoadPairs(const uint32_t* row, const int32_t* o) {
    const __m128i lo =
        _mm_insert_epi64(_mm_cvtsi64_si128(LoadPair(row + o[0])), LoadPair(row + o[1]), 1);
    const __m128i hi =
        _mm_insert_epi64(_mm_cvtsi64_si128(LoadPair(row + o[2])), LoadPair(row + o[3]), 1);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// The taps of eight pixels: the offset of each 2 x 2 block's top left word, the weights, and
// the lanes where one pixel alone is used in both directions.
struct BlockTaps {
    alignas(32) int32_t offsets[8];
    __m256i weightX, weightY, single;
    __m256 sx, sy;  // kept for keyed sampling only
};

// Bits 0, 2, 4, 6 of v moved to bits 0 to 3.
inline int EvenBits(int v) {
    v &= 0x55;
    v = (v | (v >> 1)) & 0x33;
    return (v | (v >> 2)) & 0x0F;
}

// The words of eight lanes that are absent (the key, or alpha 0 in a source with alpha) and
// fully present (not the key, and alpha 255 where there is alpha), as movemask bits.
inline void WordPresence(__m256i w, const ShadeConstants& c, int* absent, int* present) {
    const __m256i hits = KeyHits(w, c);
    *absent = _mm256_movemask_ps(_mm256_castsi256_ps(hits));
    *present = ~*absent & 0xFF;
    if (c.alpha) {
        const __m256i a = _mm256_srli_epi32(w, 24);
        *absent |= _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, c.zero)));
        *present &=
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, _mm256_set1_epi32(255))));
    }
}

// Of four pixels whose 2 x 2 blocks are in `top` and `bottom` (two words each): bit i of *all*
// when all four words of pixel i are absent, of *some* when they are neither all absent nor all
// fully present.
inline void KeyedWords(__m256i top, __m256i bottom, const ShadeConstants& c, int* all, int* some) {
    int ta, tp, ba, bp;
    WordPresence(top, c, &ta, &tp);
    WordPresence(bottom, c, &ba, &bp);
    const int absent = ta & ba;
    const int present = tp & bp;
    *all = EvenBits(absent & (absent >> 1));
    *some = ~(*all | EvenBits(present & (present >> 1))) & 0x0F;
}

// Eight pixels per step, in two passes over each piece of a row: first the mapping and the taps
// of the whole piece, then the reads and the blends. Each pixel's left and right neighbours are
// read as one 64-bit word from the top and the bottom row, one by one: many independent reads
// are in flight at once, where a gather instruction (slow on some processors with AVX2) makes
// each block wait for all its reads. With a transparent colour a block whose words are all
// present or all absent is computed here; a pixel at the edge of a transparent area (its mean
// substitution) by the reference. Regions one column wide are left to the 128-bit kernel.
template <int Mode, bool Tinted, bool Opaque, bool Keyed, bool Affine>
struct BilinearKernelAvx2 {
    static constexpr int32_t kPiece = 256;

    // The samples and coverages of the pixels in `edge` from the reference arithmetic.
    static __m256i EdgeSamples(const PixelJob& job, const DrawRect& region, const BlockTaps& t,
                               int edge, __m256i s, __m256i* coverage) {
        alignas(32) uint32_t words[8];
        alignas(32) int32_t cov[8];
        alignas(32) float sxs[8], sys[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(words), s);
        _mm256_store_si256(reinterpret_cast<__m256i*>(cov), *coverage);
        _mm256_store_ps(sxs, t.sx);
        _mm256_store_ps(sys, t.sy);
        for (int i = 0; i < 8; ++i) {
            if ((edge >> i) & 1) {
                uint32_t c = 0;
                words[i] = job.sourceAlpha != 0
                               ? SampleBilinearAlpha(job.source, job.sourceWidth, region,
                                                     job.transparentColour, sxs[i], sys[i], &c)
                               : SampleBilinearKeyed(job.source, job.sourceWidth, region,
                                                     job.transparentColour, sxs[i], sys[i], &c);
                cov[i] = int32_t(c);
            }
        }
        *coverage = _mm256_load_si256(reinterpret_cast<const __m256i*>(cov));
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(words));
    }

    static void Run(const PixelJob& job) {
        if (job.right - job.left < 2) {
            RunBilinearSse2(job);
            return;
        }
        const Mapping map(job);
        const ShadeConstants c(job);
        const AxisClamp ax(job.left, job.right);
        const AxisClamp ay(job.top, job.bottom);
        const bool tall = job.bottom - job.top >= 2;
        const __m256i c128 = _mm256_set1_epi16(128);
        const __m256i fourth = _mm256_set1_epi32(int32_t(0xFF000000));
        const __m256i width = _mm256_set1_epi32(job.sourceWidth);
        const __m256i spreadLo = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        const __m256i spreadHi = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
        const __m256 eight = _mm256_set1_ps(8.0f);
        const __m256i c256 = _mm256_set1_epi32(256);
        const DrawRect region{job.left, job.top, job.right, job.bottom};
        const uint32_t* topRow = job.source;
        // A region one row high uses that row alone: the second row read is the same.
        const uint32_t* bottomRow = job.source - (tall ? job.sourceWidth : 0);
        BlockTaps taps[kPiece / 8];
        uint8_t masks[kPiece / 8];
        for (int32_t y = job.y1 - 1; y >= job.y0; --y) {
            const RowTerms terms = MapRow(job.inverse, y);
            const __m256 r0 = _mm256_set1_ps(terms.r0);
            const __m256 r1 = _mm256_set1_ps(terms.r1);
            const __m256 r2 = _mm256_set1_ps(terms.r2);
            uint32_t* dst = DestinationRow(job, y);
            for (int32_t px = job.x0; px < job.x1; px += kPiece) {
                const int32_t pEnd = std::min(job.x1, px + kPiece);
                int any = 0;
                __m256 fx = map.Columns(px);
                for (int32_t x = px, k = 0; x < pEnd; x += 8, ++k) {
                    __m256 sx, sy;
                    __m256 inside = map.MapColumns<Affine>(fx, r0, r1, r2, &sx, &sy);
                    fx = _mm256_add_ps(fx, eight);
                    if (pEnd - x < 8) {
                        inside =
                            _mm256_and_ps(inside, _mm256_castsi256_ps(_mm256_cmpgt_epi32(
                                                      _mm256_set1_epi32(pEnd - x), map.lanes)));
                    }
                    const int bits = _mm256_movemask_ps(inside);
                    masks[k] = uint8_t(bits);
                    any |= bits;
                    if (bits == 0) {
                        continue;
                    }
                    if (bits != 0xFF) {
                        // Lanes that do not sample take the region's corner: reads stay inside.
                        sx = _mm256_blendv_ps(map.left, sx, inside);
                        sy = _mm256_blendv_ps(map.top, sy, inside);
                    }
                    BlockTaps& t = taps[k];
                    __m256i firstX, firstY, singleX, singleY;
                    ax.Taps(sx, &firstX, &t.weightX, &singleX);
                    if (tall) {
                        ay.Taps(sy, &firstY, &t.weightY, &singleY);
                    } else {
                        firstY = ay.low;
                        t.weightY = ay.zero;
                        singleY = _mm256_set1_epi32(-1);
                    }
                    _mm256_store_si256(reinterpret_cast<__m256i*>(t.offsets),
                                       _mm256_sub_epi32(firstX, _mm256_mullo_epi32(firstY, width)));
                    t.single = _mm256_and_si256(singleX, singleY);
                    if constexpr (Keyed) {
                        t.sx = sx;
                        t.sy = sy;
                    }
                }
                if (any == 0) {
                    continue;
                }
                for (int32_t x = px, k = 0; x < pEnd; x += 8, ++k) {
                    const int bits = masks[k];
                    if (bits == 0) {
                        continue;
                    }
                    const int32_t n = std::min(8, pEnd - x);
                    const BlockTaps& t = taps[k];
                    const int32_t* o = t.offsets;
                    // Each 64-bit element: a pixel's left and right neighbour.
                    const __m256i pairs[4] = {
                        LoadPairs(topRow, o),
                        LoadPairs(bottomRow, o),
                        LoadPairs(topRow, o + 4),
                        LoadPairs(bottomRow, o + 4),
                    };
                    __m256i v[2];
                    for (int g = 0; g < 2; ++g) {
                        const __m256i fx16 = Spread(t.weightX, g == 0 ? spreadLo : spreadHi);
                        const __m256i fy16 = Spread(t.weightY, g == 0 ? spreadLo : spreadHi);
                        // Left neighbours of two pixels, then their right neighbours, per half.
                        const __m256i tp = _mm256_shuffle_epi32(pairs[2 * g], 0xD8);
                        const __m256i bt = _mm256_shuffle_epi32(pairs[2 * g + 1], 0xD8);
                        const __m256i h0 = Lerp16(fx16, _mm256_unpacklo_epi8(tp, c.zero),
                                                  _mm256_unpackhi_epi8(tp, c.zero), c128);
                        const __m256i h1 = Lerp16(fx16, _mm256_unpacklo_epi8(bt, c.zero),
                                                  _mm256_unpackhi_epi8(bt, c.zero), c128);
                        v[g] = Lerp16(fy16, h0, h1, c128);
                    }
                    // Packed per half: pixels 0 1 4 5 | 2 3 6 7; put them back in order.
                    __m256i s = _mm256_permute4x64_epi64(_mm256_packus_epi16(v[0], v[1]), 0xD8);
                    // The fourth byte survives only where one pixel alone is used.
                    s = _mm256_and_si256(
                        s, _mm256_or_si256(c.low24, _mm256_and_si256(t.single, fourth)));
                    const __m256i d = LoadPixels(dst + x, n);
                    __m256i r;
                    if constexpr (Keyed) {
                        int all0, some0, all1, some1;
                        KeyedWords(pairs[0], pairs[1], c, &all0, &some0);
                        KeyedWords(pairs[2], pairs[3], c, &all1, &some1);
                        const int absent = all0 | all1 << 4;
                        const int edge = (some0 | some1 << 4) & bits;
                        // All absent: colour 0 and coverage 0.
                        __m256i coverage = _mm256_andnot_si256(MaskLanes(absent), c256);
                        s = _mm256_andnot_si256(MaskLanes(absent), s);
                        if (edge != 0) {
                            s = EdgeSamples(job, region, t, edge, s, &coverage);
                        }
                        r = ShadeKeyed<Mode, Tinted, Opaque>(s, d, coverage, c);
                    } else {
                        r = Shade<Mode, Tinted, Opaque>(s, d, c);
                    }
                    StorePixels(dst + x, n, bits == 0xFF ? r : Select(MaskLanes(bits), r, d));
                }
            }
        }
    }
};

}  // namespace

void RunBilinearAvx2(const PixelJob& job) {
    sse2::RunFamily<BilinearKernelAvx2>(job, IsAffine(job.inverse));
}

}  // namespace kelvane::kernels

#pragma GCC pop_options

#endif

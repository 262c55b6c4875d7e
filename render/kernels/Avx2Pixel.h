#pragma once

// Channel arithmetic of the vector tier on processors with AVX2: eight pixels per register, the
// same integer formulas as the 128-bit forms in Sse2Pixel.h, the same single-precision operations
// in the same order for the mapping (no fused multiply-add: the FMA set is not enabled).
//
// Included from the kernel files of this instruction set only, which compile their kernels for
// AVX2 too: nothing here may be shared with code that runs on other processors, so it lives in
// a namespace of its own.

#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "render/PixelJob.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace kelvane::kernels::avx2 {

struct ShadeConstants {
    __m256i zero;
    __m256i one16;
    __m256i low24;
    __m256i tint16;
    __m256i opacity16;
    __m256i key;
    __m256i keyMask;  // the bytes the key compares: all but the alpha of a source with alpha
    bool alpha;       // the source has alpha (drawn by the keyed kernels)

    explicit ShadeConstants(const PixelJob& job) {
        alpha = job.sourceAlpha != 0;
        keyMask = _mm256_set1_epi32(alpha ? 0x00FFFFFF : -1);
        zero = _mm256_setzero_si256();
        one16 = _mm256_set1_epi16(1);
        low24 = _mm256_set1_epi32(0x00FFFFFF);
        tint16 = _mm256_unpacklo_epi8(_mm256_set1_epi32(int32_t(job.tint & 0x00FFFFFF)), zero);
        opacity16 = _mm256_set1_epi16(int16_t(job.opacity));
        key = _mm256_set1_epi32(int32_t(job.transparentColour));
    }
};

// floor(v / 255) for every product of two bytes.
inline __m256i Div255(__m256i v, __m256i one) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(v, _mm256_srli_epi16(v, 8)), one),
                             8);
}

// (w * s + (256 - w) * d) >> 8 = (256 * d + w * (s - d)) >> 8, exact modulo 2^16.
inline __m256i Mix16(__m256i w, __m256i s, __m256i d) {
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_slli_epi16(d, 8), _mm256_mullo_epi16(w, _mm256_sub_epi16(s, d))),
        8);
}

// Unpacking and packing work inside each 128-bit half, so the pixels come back in their places.
inline __m256i MixPacked(__m256i w, __m256i s, __m256i d, const ShadeConstants& c) {
    const __m256i lo = Mix16(w, _mm256_unpacklo_epi8(s, c.zero), _mm256_unpacklo_epi8(d, c.zero));
    const __m256i hi = Mix16(w, _mm256_unpackhi_epi8(s, c.zero), _mm256_unpackhi_epi8(d, c.zero));
    return _mm256_and_si256(_mm256_packus_epi16(lo, hi), c.low24);
}

// Per-pixel weights in 16-bit lanes: wLo for pixels 0, 1, 4, 5 and wHi for pixels 2, 3, 6, 7, the
// order in which the bytes of each 128-bit half unpack.
inline __m256i MixPacked(__m256i wLo, __m256i wHi, __m256i s, __m256i d, const ShadeConstants& c) {
    const __m256i lo = Mix16(wLo, _mm256_unpacklo_epi8(s, c.zero), _mm256_unpacklo_epi8(d, c.zero));
    const __m256i hi = Mix16(wHi, _mm256_unpackhi_epi8(s, c.zero), _mm256_unpackhi_epi8(d, c.zero));
    return _mm256_and_si256(_mm256_packus_epi16(lo, hi), c.low24);
}

inline __m256i TintPacked(__m256i s, const ShadeConstants& c) {
    const __m256i lo =
        Div255(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, c.zero), c.tint16), c.one16);
    const __m256i hi =
        Div255(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, c.zero), c.tint16), c.one16);
    return _mm256_packus_epi16(lo, hi);
}

// Tint, opacity and blend of eight samples over eight destination pixels (no keyed weighting:
// keyed bilinear sampling stays with the 128-bit kernels).
template <int Mode, bool Tinted, bool Opaque>
inline __m256i Shade(__m256i s, __m256i d, const ShadeConstants& c) {
    if constexpr (Tinted) {
        s = TintPacked(s, c);
    }
    if constexpr (Mode == 0) {
        if constexpr (Opaque) {
            return s;
        } else {
            return MixPacked(c.opacity16, s, d, c);
        }
    } else if constexpr (Mode == 1) {
        return _mm256_and_si256(d, s);
    } else if constexpr (Mode == 2) {
        return _mm256_or_si256(d, s);
    } else if constexpr (Mode == 3) {
        return _mm256_xor_si256(d, s);
    } else if constexpr (Mode == 4) {
        const __m256i lo = Div255(
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, c.zero), _mm256_unpacklo_epi8(s, c.zero)),
            c.one16);
        const __m256i hi = Div255(
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, c.zero), _mm256_unpackhi_epi8(s, c.zero)),
            c.one16);
        return _mm256_and_si256(_mm256_packus_epi16(lo, hi), c.low24);
    } else if constexpr (Mode == 5) {
        return _mm256_and_si256(_mm256_adds_epu8(d, s), c.low24);
    } else {
        return _mm256_and_si256(_mm256_subs_epu8(d, s), c.low24);
    }
}

// Keyed bilinear sampling: tint, opacity and blend weighted by the coverage of each pixel,
// given as one 32-bit lane per pixel (0 to 256).
template <int Mode, bool Tinted, bool Opaque>
inline __m256i ShadeKeyed(__m256i s, __m256i d, __m256i coverage, const ShadeConstants& c) {
    const __m256i both = _mm256_or_si256(coverage, _mm256_slli_epi32(coverage, 16));
    const __m256i covLo = _mm256_unpacklo_epi32(both, both);
    const __m256i covHi = _mm256_unpackhi_epi32(both, both);
    if constexpr (Tinted) {
        s = TintPacked(s, c);
    }
    if constexpr (Mode == 0) {
        if constexpr (Opaque) {
            return MixPacked(covLo, covHi, s, d, c);
        } else {
            // c * a <= 256 * 255 fits the unsigned 16-bit lane.
            return MixPacked(_mm256_srli_epi16(_mm256_mullo_epi16(covLo, c.opacity16), 8),
                             _mm256_srli_epi16(_mm256_mullo_epi16(covHi, c.opacity16), 8), s, d, c);
        }
    } else {
        return MixPacked(covLo, covHi, Shade<Mode, false, true>(s, d, c), d, c);
    }
}

// The source pixels of eight lanes that equal the transparent colour.
inline __m256i KeyHits(__m256i s, const ShadeConstants& c) {
    return _mm256_cmpeq_epi32(_mm256_and_si256(s, c.keyMask), c.key);
}

// The presence a + (a >> 7) of eight pixels with straight alpha, one 32-bit lane each.
inline __m256i AlphaPresence(__m256i s) {
    const __m256i a = _mm256_srli_epi32(s, 24);
    return _mm256_add_epi32(a, _mm256_srli_epi32(a, 7));
}

inline __m256i Select(__m256i mask, __m256i a, __m256i b) {
    return _mm256_blendv_epi8(b, a, mask);
}

// The lanes whose bit is set in `bits` (bit i for lane i, as from a movemask).
inline __m256i MaskLanes(int bits) {
    const __m256i lanes = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(bits), lanes), lanes);
}

// Up to eight pixels; a partial block goes through a local copy so that nothing past the visit
// rectangle is read or written.
inline __m256i LoadPixels(const uint32_t* p, int32_t n) {
    if (n == 8) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    alignas(32) uint32_t tmp[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(tmp, p, size_t(n) * 4);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(tmp));
}

inline void StorePixels(uint32_t* p, int32_t n, __m256i v) {
    if (n == 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
        return;
    }
    alignas(32) uint32_t tmp[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(tmp), v);
    std::memcpy(p, tmp, size_t(n) * 4);
}

// The mapping of eight consecutive pixels of a row, and the sampling test: the operations of
// MapPixel, lane by lane, in the same order.
struct Mapping {
    __m256 m00, m10, m20;
    __m256 left, right, top, bottom;
    __m256i lanes;

    explicit Mapping(const PixelJob& job) {
        m00 = _mm256_set1_ps(job.inverse[0]);
        m10 = _mm256_set1_ps(job.inverse[3]);
        m20 = _mm256_set1_ps(job.inverse[6]);
        left = _mm256_set1_ps(job.regionLeft);
        right = _mm256_set1_ps(job.regionRight);
        top = _mm256_set1_ps(job.regionTop);
        bottom = _mm256_set1_ps(job.regionBottom);
        lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    }

    // The columns x, x + 1, ..., x + 7 as floats; exact, as every column is below 2^24, so a
    // caller may step them by adding 8.
    __m256 Columns(int32_t x) const {
        return _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), lanes));
    }

    // The lanes that sample, from eight columns fx (no partial block).
    template <bool Affine>
    __m256 MapColumns(__m256 fx, __m256 r0, __m256 r1, __m256 r2, __m256* sx, __m256* sy) const {
        __m256 u = _mm256_add_ps(_mm256_mul_ps(m00, fx), r0);
        __m256 v = _mm256_add_ps(_mm256_mul_ps(m10, fx), r1);
        if constexpr (!Affine) {
            const __m256 w = _mm256_add_ps(_mm256_mul_ps(m20, fx), r2);
            u = _mm256_div_ps(u, w);
            v = _mm256_div_ps(v, w);
        }
        *sx = u;
        *sy = v;
        // Ordered comparisons: a not-a-number fails every one of them, as in InsideRegion.
        return _mm256_and_ps(
            _mm256_and_ps(_mm256_cmp_ps(u, left, _CMP_GE_OQ), _mm256_cmp_ps(u, right, _CMP_LT_OQ)),
            _mm256_and_ps(_mm256_cmp_ps(v, top, _CMP_GE_OQ), _mm256_cmp_ps(v, bottom, _CMP_LT_OQ)));
    }

    // Up to eight pixels from column x; lanes from n on never sample.
    template <bool Affine>
    __m256 Map(int32_t x, int32_t n, __m256 r0, __m256 r1, __m256 r2, __m256* sx,
               __m256* sy) const {
        __m256 inside = MapColumns<Affine>(Columns(x), r0, r1, r2, sx, sy);
        if (n < 8) {
            inside = _mm256_and_ps(
                inside, _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_set1_epi32(n), lanes)));
        }
        return inside;
    }
};

}  // namespace kelvane::kernels::avx2

#pragma GCC pop_options

#endif

#pragma once

#if defined(__SSE2__)

#include <emmintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "render/PixelJob.h"

// Channel arithmetic of the vector tier: four pixels per register, 16-bit lanes for products.
// Every formula equals the plain tier's integer formula exactly; the comments say why.
namespace kelvane::kernels::sse2 {

struct ShadeConstants {
    __m128i zero;
    __m128i one16;
    __m128i low24;   // 0x00FFFFFF per pixel
    __m128i tint16;  // tint channels in 16-bit lanes, fourth lane 0, two pixels
    __m128i opacity16;
    __m128i key;
    __m128i keyMask;  // the bytes the key compares: all but the alpha of a source with alpha
    bool alpha;       // the source has alpha (drawn by the keyed kernels)

    explicit ShadeConstants(const PixelJob& job) {
        alpha = job.sourceAlpha != 0;
        keyMask = _mm_set1_epi32(alpha ? 0x00FFFFFF : -1);
        zero = _mm_setzero_si128();
        one16 = _mm_set1_epi16(1);
        low24 = _mm_set1_epi32(0x00FFFFFF);
        tint16 = _mm_unpacklo_epi8(_mm_set1_epi32(int32_t(job.tint & 0x00FFFFFF)), zero);
        opacity16 = _mm_set1_epi16(int16_t(job.opacity));
        key = _mm_set1_epi32(int32_t(job.transparentColour));
    }
};

// floor(v / 255) for every product of two bytes: v + (v >> 8) + 1 stays below 65536.
inline __m128i Div255(__m128i v, __m128i one) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), one), 8);
}

// (w * s + (256 - w) * d) >> 8 = (256 * d + w * (s - d)) >> 8. The true sum lies in 0..65280,
// so computing it modulo 2^16 (low half of the product) gives it exactly.
inline __m128i Mix16(__m128i w, __m128i s, __m128i d) {
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_slli_epi16(d, 8), _mm_mullo_epi16(w, _mm_sub_epi16(s, d))), 8);
}

// Per-pixel weights: wLo for pixels 0 and 1, wHi for pixels 2 and 3. Fourth byte 0.
inline __m128i MixPacked(__m128i wLo, __m128i wHi, __m128i s, __m128i d, const ShadeConstants& c) {
    const __m128i lo = Mix16(wLo, _mm_unpacklo_epi8(s, c.zero), _mm_unpacklo_epi8(d, c.zero));
    const __m128i hi = Mix16(wHi, _mm_unpackhi_epi8(s, c.zero), _mm_unpackhi_epi8(d, c.zero));
    return _mm_and_si128(_mm_packus_epi16(lo, hi), c.low24);
}

inline __m128i TintPacked(__m128i s, const ShadeConstants& c) {
    const __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(s, c.zero), c.tint16), c.one16);
    const __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(s, c.zero), c.tint16), c.one16);
    return _mm_packus_epi16(lo, hi);
}

// Tint, opacity and blend of four samples over four destination pixels. Keyed: keyed bilinear
// sampling, weighted by the coverage (16-bit lanes per pixel, as for MixPacked).
template <int Mode, bool Tinted, bool Opaque, bool Keyed>
inline __m128i Shade(__m128i s, __m128i d, __m128i covLo, __m128i covHi, const ShadeConstants& c) {
    if constexpr (Tinted) {
        s = TintPacked(s, c);
    }
    if constexpr (Mode == 0) {
        if constexpr (Keyed) {
            if constexpr (Opaque) {
                return MixPacked(covLo, covHi, s, d, c);
            } else {
                const __m128i wLo = _mm_srli_epi16(_mm_mullo_epi16(covLo, c.opacity16), 8);
                const __m128i wHi = _mm_srli_epi16(_mm_mullo_epi16(covHi, c.opacity16), 8);
                return MixPacked(wLo, wHi, s, d, c);
            }
        } else if constexpr (Opaque) {
            return s;
        } else {
            return MixPacked(c.opacity16, c.opacity16, s, d, c);
        }
    } else {
        __m128i r;
        if constexpr (Mode == 1) {
            r = _mm_and_si128(d, s);
        } else if constexpr (Mode == 2) {
            r = _mm_or_si128(d, s);
        } else if constexpr (Mode == 3) {
            r = _mm_xor_si128(d, s);
        } else if constexpr (Mode == 4) {
            const __m128i lo =
                Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(d, c.zero), _mm_unpacklo_epi8(s, c.zero)),
                       c.one16);
            const __m128i hi =
                Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(d, c.zero), _mm_unpackhi_epi8(s, c.zero)),
                       c.one16);
            r = _mm_and_si128(_mm_packus_epi16(lo, hi), c.low24);
        } else if constexpr (Mode == 5) {
            r = _mm_and_si128(_mm_adds_epu8(d, s), c.low24);
        } else {
            r = _mm_and_si128(_mm_subs_epu8(d, s), c.low24);
        }
        if constexpr (Keyed) {
            return MixPacked(covLo, covHi, r, d, c);
        } else {
            return r;
        }
    }
}

// The source pixels of four lanes that equal the transparent colour.
inline __m128i KeyHits(__m128i s, const ShadeConstants& c) {
    return _mm_cmpeq_epi32(_mm_and_si128(s, c.keyMask), c.key);
}

// The presence a + (a >> 7) of four pixels with straight alpha, as per-pixel weights in 16-bit
// lanes (pixels 0 and 1 in *lo, 2 and 3 in *hi, as MixPacked takes them).
inline void AlphaPresence16(__m128i s, __m128i* lo, __m128i* hi) {
    const __m128i a = _mm_srli_epi32(s, 24);
    const __m128i p = _mm_add_epi32(a, _mm_srli_epi32(a, 7));
    const __m128i p16 = _mm_packs_epi32(p, p);
    const __m128i pairs = _mm_unpacklo_epi16(p16, p16);
    *lo = _mm_unpacklo_epi32(pairs, pairs);
    *hi = _mm_unpackhi_epi32(pairs, pairs);
}

// Source offsets col - row * width of four lanes in one multiply-add, for images whose width and
// height stay below 32768 (16-bit signed operands).
struct SourceOffsets {
    __m128i weights;
    bool small;

    explicit SourceOffsets(const PixelJob& job) {
        small = job.sourceWidth <= 32767 && job.bottom <= 32767 && job.right <= 32767;
        weights = _mm_set1_epi32(int32_t(1u | (uint32_t(-job.sourceWidth) << 16)));
    }

    // The offsets go straight from the vector into general registers: a trip through memory
    // would put a store-to-load forwarding delay in front of every gathered read.
    __attribute__((always_inline)) void Compute(__m128i col, __m128i row, ptrdiff_t width,
                                                ptrdiff_t* out) const {
        if (small) {
            const __m128i packed = _mm_packs_epi32(col, row);
            const __m128i pairs = _mm_unpacklo_epi16(packed, _mm_srli_si128(packed, 8));
            const __m128i offsets = _mm_madd_epi16(pairs, weights);
            out[0] = _mm_cvtsi128_si32(offsets);
            out[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(offsets, 1));
            out[2] = _mm_cvtsi128_si32(_mm_shuffle_epi32(offsets, 2));
            out[3] = _mm_cvtsi128_si32(_mm_shuffle_epi32(offsets, 3));
            return;
        }
        alignas(16) int32_t cols[4], rows[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(cols), col);
        _mm_store_si128(reinterpret_cast<__m128i*>(rows), row);
        for (int i = 0; i < 4; ++i) {
            out[i] = cols[i] - rows[i] * width;
        }
    }
};

// Blends computed from the channels in 16-bit lanes (two pixels per register), for samples that
// are produced that way; the fourth byte of the result is 0.
inline __m128i MixFrom16(__m128i w, __m128i sLo, __m128i sHi, __m128i d, const ShadeConstants& c) {
    const __m128i lo = Mix16(w, sLo, _mm_unpacklo_epi8(d, c.zero));
    const __m128i hi = Mix16(w, sHi, _mm_unpackhi_epi8(d, c.zero));
    return _mm_and_si128(_mm_packus_epi16(lo, hi), c.low24);
}

inline __m128i MultiplyFrom16(__m128i sLo, __m128i sHi, __m128i d, const ShadeConstants& c) {
    const __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(d, c.zero), sLo), c.one16);
    const __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(d, c.zero), sHi), c.one16);
    return _mm_and_si128(_mm_packus_epi16(lo, hi), c.low24);
}

inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

inline __m128 SelectPs(__m128 mask, __m128 a, __m128 b) {
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

// Up to four destination pixels; a partial block goes through a local copy so that nothing past
// the visit rectangle is read or written.
inline __m128i LoadPixels(const uint32_t* p, int32_t n) {
    if (n == 4) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    alignas(16) uint32_t tmp[4] = {0, 0, 0, 0};
    std::memcpy(tmp, p, size_t(n) * 4);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(tmp));
}

inline void StorePixels(uint32_t* p, int32_t n, __m128i v) {
    if (n == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
        return;
    }
    alignas(16) uint32_t tmp[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(tmp), v);
    std::memcpy(p, tmp, size_t(n) * 4);
}

// The mapping of four consecutive pixels of a row, and the sampling test.
struct Mapping {
    __m128 m00, m10, m20;
    __m128 left, right, top, bottom;
    __m128i lanes;

    explicit Mapping(const PixelJob& job) {
        m00 = _mm_set1_ps(job.inverse[0]);
        m10 = _mm_set1_ps(job.inverse[3]);
        m20 = _mm_set1_ps(job.inverse[6]);
        left = _mm_set1_ps(job.regionLeft);
        right = _mm_set1_ps(job.regionRight);
        top = _mm_set1_ps(job.regionTop);
        bottom = _mm_set1_ps(job.regionBottom);
        lanes = _mm_setr_epi32(0, 1, 2, 3);
    }

    // Same operations in the same order as MapPixel; returns the lanes that sample.
    template <bool Affine>
    __m128 Map(int32_t x, int32_t n, __m128 r0, __m128 r1, __m128 r2, __m128* sx,
               __m128* sy) const {
        const __m128 fx = _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(x), lanes));
        __m128 u = _mm_add_ps(_mm_mul_ps(m00, fx), r0);
        __m128 v = _mm_add_ps(_mm_mul_ps(m10, fx), r1);
        if constexpr (!Affine) {
            const __m128 w = _mm_add_ps(_mm_mul_ps(m20, fx), r2);
            u = _mm_div_ps(u, w);
            v = _mm_div_ps(v, w);
        }
        *sx = u;
        *sy = v;
        __m128 inside = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(u, left), _mm_cmplt_ps(u, right)),
                                   _mm_and_ps(_mm_cmpge_ps(v, top), _mm_cmplt_ps(v, bottom)));
        if (n < 4) {
            inside =
                _mm_and_ps(inside, _mm_castsi128_ps(_mm_cmplt_epi32(lanes, _mm_set1_epi32(n))));
        }
        return inside;
    }
};

using RowsFn = void (*)(const PixelJob&);

// The kernel family as a table: [mode][tint | opaque << 1 | keyed << 2 | affine << 3]. The
// opacity matters for the normal mode only, so the other modes share one instance. Sources with
// alpha are drawn by the keyed instances, which weight each pixel already.
template <template <int, bool, bool, bool, bool> class Kernel, int Mode, size_t Bits>
constexpr RowsFn FamilyEntry() {
    return &Kernel < Mode, (Bits & 1) != 0, Mode == 0 && (Bits & 2) != 0, (Bits & 4) != 0,
           (Bits & 8) != 0 > ::Run;
}

template <template <int, bool, bool, bool, bool> class Kernel, int Mode, size_t... Bits>
constexpr std::array<RowsFn, 16> FamilyRow(std::index_sequence<Bits...>) {
    return {FamilyEntry<Kernel, Mode, Bits>()...};
}

template <template <int, bool, bool, bool, bool> class Kernel, int... Modes>
constexpr std::array<std::array<RowsFn, 16>, 7> FamilyTable(std::integer_sequence<int, Modes...>) {
    return {FamilyRow<Kernel, Modes>(std::make_index_sequence<16>())...};
}

template <template <int, bool, bool, bool, bool> class Kernel>
inline void RunFamily(const PixelJob& job, bool affine) {
    static constexpr auto kTable = FamilyTable<Kernel>(std::make_integer_sequence<int, 7>());
    const size_t bits = (job.tint != kNoTint ? 1 : 0) | (job.opacity == 0 ? 2 : 0) |
                        (TransparentActive(job.transparentColour) || job.sourceAlpha != 0 ? 4 : 0) |
                        (affine ? 8 : 0);
    kTable[size_t(job.blendMode)][bits](job);
}

}  // namespace kelvane::kernels::sse2

#endif

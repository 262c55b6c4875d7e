// The row kernels in AVX2, eight pixels at a time; built with -mavx2 and chosen only where the
// processor has it. As in SSE2, channels are widened to 16-bit lanes for the arithmetic; the
// widening and narrowing work within each 128-bit half, so the pixels come back in order.
#include <immintrin.h>

#include "KernelTable.h"
#include "PixelArithmetic.h"
#include "PixelKernels.h"

namespace frei0r_bridge {

namespace {

inline __m256i Load(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline void Store(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

inline __m256i SwapRedBlue8(__m256i p) {
    const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2,
                                           1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    return _mm256_shuffle_epi8(p, order);
}

template <bool RedFirst>
void ConvertRow(const uint32_t* src, uint32_t* dst, int32_t count) {
    const __m256i opaque = _mm256_set1_epi32(int(0xFF000000u));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i p = Load(src + i);
        if constexpr (RedFirst)
            p = SwapRedBlue8(p);
        Store(dst + i, _mm256_or_si256(p, opaque));
    }
    for (; i < count; ++i)
        dst[i] = ToPluginPixel<RedFirst>(src[i]);
}

// Div255 in each 16-bit lane.
inline __m256i Div255x16(__m256i v) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_add_epi16(v, _mm256_set1_epi16(1)), _mm256_srli_epi16(v, 8));
    return _mm256_srli_epi16(sum, 8);
}

// BlendChannel in each 16-bit lane.
template <int Mode>
inline __m256i BlendWide(__m256i d, __m256i s) {
    if constexpr (Mode == 1)
        return _mm256_and_si256(d, s);
    else if constexpr (Mode == 2)
        return _mm256_or_si256(d, s);
    else if constexpr (Mode == 3)
        return _mm256_xor_si256(d, s);
    else if constexpr (Mode == 4)
        return Div255x16(_mm256_mullo_epi16(d, s));
    else if constexpr (Mode == 5)
        return _mm256_min_epi16(_mm256_add_epi16(d, s), _mm256_set1_epi16(255));
    else if constexpr (Mode == 6)
        return _mm256_subs_epu16(d, s);
    else
        return s;
}

// BlendChannel in each byte (all modes but multiply).
template <int Mode>
inline __m256i BlendBytes(__m256i d, __m256i s) {
    static_assert(Mode != 4);
    if constexpr (Mode == 1)
        return _mm256_and_si256(d, s);
    else if constexpr (Mode == 2)
        return _mm256_or_si256(d, s);
    else if constexpr (Mode == 3)
        return _mm256_xor_si256(d, s);
    else if constexpr (Mode == 5)
        return _mm256_adds_epu8(d, s);
    else if constexpr (Mode == 6)
        return _mm256_subs_epu8(d, s);
    else
        return s;
}

// One 16-bit half of the eight pixels: two pixels' channels in each 128-bit half.
template <int Mode, bool Tinted>
inline __m256i DrawHalf(__m256i d, __m256i s, __m256i w, __m256i tint) {
    if constexpr (Tinted)
        s = Div255x16(_mm256_mullo_epi16(s, tint));
    const __m256i drawn = _mm256_mullo_epi16(w, BlendWide<Mode>(d, s));
    const __m256i kept = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_set1_epi16(256), w), d);
    return _mm256_srli_epi16(_mm256_add_epi16(drawn, kept), 8);
}

// DrawPixel on eight pixels; `s` is already in our byte order.
template <int Mode, bool Tinted, bool FullWeight>
inline __m256i Draw8(__m256i d, __m256i s, __m256i tint, __m256i weight) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alpha = _mm256_srli_epi32(s, 24);
    __m256i w = _mm256_add_epi32(alpha, _mm256_srli_epi32(alpha, 7));
    if constexpr (!FullWeight)
        w = _mm256_srli_epi32(_mm256_mullo_epi16(w, weight), 8);  // below 2^16: upper half 0
    w = _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
    const __m256i lo =
        DrawHalf<Mode, Tinted>(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero),
                               _mm256_unpacklo_epi32(w, w), tint);
    const __m256i hi =
        DrawHalf<Mode, Tinted>(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero),
                               _mm256_unpackhi_epi32(w, w), tint);
    const __m256i out =
        _mm256_and_si256(_mm256_packus_epi16(lo, hi), _mm256_set1_epi32(0x00FFFFFF));
    return _mm256_blendv_epi8(out, d, _mm256_cmpeq_epi32(alpha, zero));
}

template <int Mode, bool Tinted, bool RedFirst, bool FullWeight>
void DrawRowWeighted(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t tint,
                     uint32_t weight) {
    const __m256i tintWide =
        _mm256_unpacklo_epi8(_mm256_set1_epi32(int(tint)), _mm256_setzero_si256());
    const __m256i weights = _mm256_set1_epi32(int(weight));
    const __m256i opaque = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i colours = _mm256_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m256i s = Load(src + i);
        if constexpr (RedFirst)
            s = SwapRedBlue8(s);
        if constexpr (FullWeight && !Tinted && Mode != 4) {
            // Most filters give every pixel alpha 255; at full opacity their blend is all there
            // is to draw, and it needs no widening.
            const __m256i whole = _mm256_cmpeq_epi32(_mm256_and_si256(s, opaque), opaque);
            if (_mm256_movemask_epi8(whole) == -1) {
                const __m256i d = Mode == 0 ? s : Load(dst + i);
                Store(dst + i, _mm256_and_si256(BlendBytes<Mode>(d, s), colours));
                continue;
            }
        }
        Store(dst + i, Draw8<Mode, Tinted, FullWeight>(Load(dst + i), s, tintWide, weights));
    }
    for (; i < count; ++i)
        dst[i] = DrawPixel<Mode, Tinted, RedFirst>(dst[i], src[i], tint, weight);
}

template <int Mode, bool Tinted, bool RedFirst>
void DrawRow(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t tint, uint32_t weight) {
    if (weight == 256)
        DrawRowWeighted<Mode, Tinted, RedFirst, true>(dst, src, count, tint, weight);
    else
        DrawRowWeighted<Mode, Tinted, RedFirst, false>(dst, src, count, tint, weight);
}

struct Tier {
    template <bool RedFirst>
    static constexpr PixelKernels::ConvertRow convert = &ConvertRow<RedFirst>;
    template <int Mode, bool Tinted, bool RedFirst>
    static constexpr PixelKernels::DrawRow draw = &DrawRow<Mode, Tinted, RedFirst>;
};

constexpr PixelKernels kAvx2 = KernelTable<Tier>("avx2");

}  // namespace

const PixelKernels& Avx2Kernels() {
    return kAvx2;
}

}  // namespace frei0r_bridge

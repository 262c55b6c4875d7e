// The row kernels in SSE2, four pixels at a time. Channels are widened to 16-bit lanes, where
// every product of the arithmetic fits: a weight of at most 256 times a channel of at most 255.
#include <emmintrin.h>

#include "KernelTable.h"
#include "PixelArithmetic.h"
#include "PixelKernels.h"

namespace frei0r_bridge {

namespace {

inline __m128i Load(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(uint32_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

inline __m128i SwapRedBlue4(__m128i p) {
    const __m128i keep = _mm_set1_epi32(int(0xFF00FF00u)), low = _mm_set1_epi32(0xFF);
    return _mm_or_si128(_mm_and_si128(p, keep),
                        _mm_or_si128(_mm_and_si128(_mm_srli_epi32(p, 16), low),
                                     _mm_slli_epi32(_mm_and_si128(p, low), 16)));
}

template <bool RedFirst>
void ConvertRow(const uint32_t* src, uint32_t* dst, int32_t count) {
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i p = Load(src + i);
        if constexpr (RedFirst)
            p = SwapRedBlue4(p);
        Store(dst + i, _mm_or_si128(p, opaque));
    }
    for (; i < count; ++i)
        dst[i] = ToPluginPixel<RedFirst>(src[i]);
}

// Div255 in each 16-bit lane.
inline __m128i Div255x8(__m128i v) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(v, _mm_set1_epi16(1)), _mm_srli_epi16(v, 8));
    return _mm_srli_epi16(sum, 8);
}

// BlendChannel in each 16-bit lane.
template <int Mode>
inline __m128i BlendWide(__m128i d, __m128i s) {
    if constexpr (Mode == 1)
        return _mm_and_si128(d, s);
    else if constexpr (Mode == 2)
        return _mm_or_si128(d, s);
    else if constexpr (Mode == 3)
        return _mm_xor_si128(d, s);
    else if constexpr (Mode == 4)
        return Div255x8(_mm_mullo_epi16(d, s));
    else if constexpr (Mode == 5)
        return _mm_min_epi16(_mm_add_epi16(d, s), _mm_set1_epi16(255));
    else if constexpr (Mode == 6)
        return _mm_subs_epu16(d, s);
    else
        return s;
}

// BlendChannel in each byte (all modes but multiply).
template <int Mode>
inline __m128i BlendBytes(__m128i d, __m128i s) {
    static_assert(Mode != 4);
    if constexpr (Mode == 1)
        return _mm_and_si128(d, s);
    else if constexpr (Mode == 2)
        return _mm_or_si128(d, s);
    else if constexpr (Mode == 3)
        return _mm_xor_si128(d, s);
    else if constexpr (Mode == 5)
        return _mm_adds_epu8(d, s);
    else if constexpr (Mode == 6)
        return _mm_subs_epu8(d, s);
    else
        return s;
}

// One 16-bit half of the four pixels: two pixels' channels.
template <int Mode, bool Tinted>
inline __m128i DrawHalf(__m128i d, __m128i s, __m128i w, __m128i tint) {
    if constexpr (Tinted)
        s = Div255x8(_mm_mullo_epi16(s, tint));
    const __m128i drawn = _mm_mullo_epi16(w, BlendWide<Mode>(d, s));
    const __m128i kept = _mm_mullo_epi16(_mm_sub_epi16(_mm_set1_epi16(256), w), d);
    return _mm_srli_epi16(_mm_add_epi16(drawn, kept), 8);
}

// DrawPixel on four pixels; `s` is already in our byte order.
template <int Mode, bool Tinted, bool FullWeight>
inline __m128i Draw4(__m128i d, __m128i s, __m128i tint, __m128i weight) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i alpha = _mm_srli_epi32(s, 24);
    __m128i w = _mm_add_epi32(alpha, _mm_srli_epi32(alpha, 7));
    if constexpr (!FullWeight)
        w = _mm_srli_epi32(_mm_mullo_epi16(w, weight), 8);  // below 2^16: the upper half stays 0
    w = _mm_or_si128(w, _mm_slli_epi32(w, 16));
    const __m128i lo = DrawHalf<Mode, Tinted>(
        _mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi32(w, w), tint);
    const __m128i hi = DrawHalf<Mode, Tinted>(
        _mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi32(w, w), tint);
    const __m128i out = _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0x00FFFFFF));
    const __m128i transparent = _mm_cmpeq_epi32(alpha, zero);
    return _mm_or_si128(_mm_and_si128(transparent, d), _mm_andnot_si128(transparent, out));
}

template <int Mode, bool Tinted, bool RedFirst, bool FullWeight>
void DrawRowWeighted(uint32_t* dst, const uint32_t* src, int32_t count, uint32_t tint,
                     uint32_t weight) {
    const __m128i tintWide = _mm_unpacklo_epi8(_mm_set1_epi32(int(tint)), _mm_setzero_si128());
    const __m128i weights = _mm_set1_epi32(int(weight));
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m128i s = Load(src + i);
        if constexpr (RedFirst)
            s = SwapRedBlue4(s);
        if constexpr (FullWeight && !Tinted && Mode != 4) {
            // Most filters give every pixel alpha 255; at full opacity their blend is all there
            // is to draw, and it needs no widening.
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, opaque), opaque)) == 0xFFFF) {
                const __m128i d = Mode == 0 ? s : Load(dst + i);
                Store(dst + i, _mm_and_si128(BlendBytes<Mode>(d, s), colours));
                continue;
            }
        }
        Store(dst + i, Draw4<Mode, Tinted, FullWeight>(Load(dst + i), s, tintWide, weights));
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

constexpr PixelKernels kSse2 = KernelTable<Tier>("sse2");

}  // namespace

const PixelKernels& Sse2Kernels() {
    return kSse2;
}

}  // namespace frei0r_bridge

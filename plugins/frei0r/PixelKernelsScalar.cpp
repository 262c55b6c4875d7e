#include "KernelTable.h"
#include "PixelArithmetic.h"
#include "PixelKernels.h"

namespace frei0r_bridge {

namespace {

template <bool RedFirst>
void ConvertRow(const uint32_t* __restrict src, uint32_t* __restrict dst, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        dst[i] = ToPluginPixel<RedFirst>(src[i]);
}

template <int Mode, bool Tinted, bool RedFirst>
void DrawRow(uint32_t* __restrict dst, const uint32_t* __restrict src, int32_t count, uint32_t tint,
             uint32_t weight) {
    if constexpr (Mode == 0 && !Tinted) {
        // Most filters give every pixel alpha 255; at full opacity in the normal mode that is a
        // copy of the colours, which the full arithmetic would only arrive at.
        if (weight == 256) {
            uint32_t all = 0xFF000000u;
            for (int32_t i = 0; i < count; ++i)
                all &= src[i];
            if (all == 0xFF000000u) {
                for (int32_t i = 0; i < count; ++i)
                    dst[i] = (RedFirst ? SwapRedBlue(src[i]) : src[i]) & 0x00FFFFFFu;
                return;
            }
        }
    }
    for (int32_t i = 0; i < count; ++i)
        dst[i] = DrawPixel<Mode, Tinted, RedFirst>(dst[i], src[i], tint, weight);
}

struct Tier {
    template <bool RedFirst>
    static constexpr PixelKernels::ConvertRow convert = &ConvertRow<RedFirst>;
    template <int Mode, bool Tinted, bool RedFirst>
    static constexpr PixelKernels::DrawRow draw = &DrawRow<Mode, Tinted, RedFirst>;
};

constexpr PixelKernels kScalar = KernelTable<Tier>("scalar");

}  // namespace

const PixelKernels& ScalarKernels() {
    return kScalar;
}

}  // namespace frei0r_bridge

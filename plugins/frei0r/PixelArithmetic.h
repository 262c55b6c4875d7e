#pragma once

#include <cstdint>

// The per-pixel arithmetic of the bridge, which every instruction set's row kernels must match
// to the bit: they use it themselves for the pixels left over past their last whole vector.
//
// Everything here has internal linkage and calls nothing outside. The vector kernels are
// compiled with instruction sets this machine may lack; a shared inline definition could
// otherwise be taken from their objects by the linker and run on a processor that cannot.
namespace frei0r_bridge {
namespace {

inline uint32_t SwapRedBlue(uint32_t p) {
    return (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
}

// One of our pixels as a plug-in's input pixel: opaque, red first where the plug-in wants it.
template <bool RedFirst>
inline uint32_t ToPluginPixel(uint32_t p) {
    return RedFirst ? 0xFF000000u | SwapRedBlue(p) : p | 0xFF000000u;
}

// v / 255 rounded down, for v up to 255 * 255: the product of two channels.
inline uint32_t Div255(uint32_t v) {
    return (v + 1 + (v >> 8)) >> 8;
}

template <int Mode>
inline uint32_t BlendChannel(uint32_t d, uint32_t s) {
    if constexpr (Mode == 1)
        return d & s;
    else if constexpr (Mode == 2)
        return d | s;
    else if constexpr (Mode == 3)
        return d ^ s;
    else if constexpr (Mode == 4)
        return Div255(d * s);
    else if constexpr (Mode == 5)
        return d + s < 255 ? d + s : 255;
    else if constexpr (Mode == 6)
        return d > s ? d - s : 0;
    else
        return s;
}

// One output pixel `s` over the frame's pixel `d`, laid over it with the event's weight (1 to
// 256) times the pixel's presence (alpha + alpha / 128, so 255 is whole). A transparent pixel
// keeps `d` whole, fourth byte included; any other is written, if only to clear that byte.
template <int Mode, bool Tinted, bool RedFirst>
inline uint32_t DrawPixel(uint32_t d, uint32_t s, uint32_t tint, uint32_t weight) {
    if constexpr (RedFirst)
        s = SwapRedBlue(s);
    const uint32_t alpha = s >> 24;
    const uint32_t w = ((alpha + (alpha >> 7)) * weight) >> 8;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFFu;
        if constexpr (Tinted)
            sc = Div255(sc * ((tint >> shift) & 0xFFu));
        const uint32_t dc = (d >> shift) & 0xFFu;
        out |= ((w * BlendChannel<Mode>(dc, sc) + (256 - w) * dc) >> 8) << shift;
    }
    return alpha == 0 ? d : out;
}

}  // namespace
}  // namespace frei0r_bridge

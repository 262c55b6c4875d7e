#pragma once

#include <cstdint>
#include <vector>

#include "render/PixelJob.h"

namespace kelvane::testing {

// A 32-bit bottom-up bitmap sized exactly, so that the address sanitizer sees any read past it.
struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> words;

    Bitmap(int32_t w, int32_t h, uint32_t fill = 0)
        : width(w), height(h), words(size_t(w) * size_t(h), fill) {}
    uint32_t& At(int32_t x, int32_t y) { return words[size_t(height - 1 - y) * width + x]; }
    uint32_t At(int32_t x, int32_t y) const { return words[size_t(height - 1 - y) * width + x]; }
};

// Identity placement composed with the pixel centre: output (x, y) samples (x + 0.500244, y + 0.5).
inline constexpr float kCentred[9] = {1, 0, 0.500244140625f, 0, 1, 0.5f, 0, 0, 1};

struct Draw {
    int32_t tier = 0;
    int32_t method = 2;
    int32_t mode = 0;
    uint32_t colour = 0x00FFFFFF;       // model layout, opacity in the top byte
    uint32_t transparent = 0xFF000000;  // model layout
    const float* forward = kCentred;
    const float* inverse = kCentred;
    DrawRect region{0, 0, 1 << 20, 1 << 20};
    DrawRect clip{0, 0, 1 << 20, 1 << 20};
    DrawThreadPool* pool = nullptr;
    bool sourceAlpha = false;
    bool destinationAlpha = false;
};

inline DrawRequest MakeRequest(Bitmap& dst, const Bitmap& src, const Draw& d) {
    DrawRequest r;
    r.destination = dst.words.data();
    r.destinationWidth = dst.width;
    r.destinationHeight = dst.height;
    r.clip = d.clip;
    r.tier = d.tier;
    r.drawMethod = d.method;
    r.source = src.words.data();
    r.sourceWidth = src.width;
    r.sourceHeight = src.height;
    r.region = d.region;
    r.transparentColour = d.transparent;
    r.colour = d.colour;
    r.blendMode = d.mode;
    r.forward = d.forward;
    r.inverse = d.inverse;
    r.sourceAlpha = d.sourceAlpha;
    r.destinationAlpha = d.destinationAlpha;
    return r;
}

inline void Run(Bitmap& dst, const Bitmap& src, const Draw& d) {
    DrawTransformed(MakeRequest(dst, src, d), d.pool);
}

// Model colour 0x00BBGGRR from channels.
constexpr uint32_t Model(uint32_t r, uint32_t g, uint32_t b, uint32_t top = 0) {
    return (top << 24) | (b << 16) | (g << 8) | r;
}
// Pixel 0x00RRGGBB from channels.
constexpr uint32_t Pixel(uint32_t r, uint32_t g, uint32_t b, uint32_t fourth = 0) {
    return (fourth << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace kelvane::testing

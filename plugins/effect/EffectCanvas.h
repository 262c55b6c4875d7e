#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "kelvane/kelvane_effect.h"

namespace effect {

// The frame an event draws into, and where on it the event lies. An output pixel (x, y) belongs
// to the event when the inverse matrix takes it into the region, exactly as for a picture
// event; the forward matrix only narrows the rows and columns worth visiting.
class Canvas {
  public:
    // False when the arguments cannot describe a frame (the call then fails).
    bool Prepare(uint32_t* pixels, int32_t width, int32_t height, const EffectRect* target,
                 const EffectRect* region, uint32_t colour, const float* matrix,
                 const float* inverse) {
        if (!pixels || width <= 0 || height <= 0 || !target || !region)
            return false;
        pixels_ = pixels;
        width_ = width;
        height_ = height;
        left_ = float(region->left);
        top_ = float(region->top);
        right_ = float(region->right);
        bottom_ = float(region->bottom);
        tint_ = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
        uint32_t opacity = colour >> 24;
        weight_ = opacity == 0 ? 256 : int32_t(opacity);

        x0_ = std::max(target->left, 0);
        x1_ = std::min(target->right, width);
        y0_ = std::max(target->top, 0);
        y1_ = std::min(target->bottom, height);
        if (!(left_ < right_) || !(top_ < bottom_))
            x1_ = x0_;

        if (inverse) {
            std::copy(inverse, inverse + 9, inverse_);
        } else if (matrix) {
            Invert(matrix, inverse_);
        } else {
            // No placement at all: the region lies on the frame as it stands.
            const float centre[9] = {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1};
            std::copy(centre, centre + 9, inverse_);
        }
        if (matrix)
            Cull(matrix);
        return true;
    }

    bool Empty() const { return x0_ >= x1_ || y0_ >= y1_; }
    int32_t X0() const { return x0_; }
    int32_t X1() const { return x1_; }
    int32_t Y0() const { return y0_; }
    int32_t Y1() const { return y1_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Right() const { return right_; }
    float Bottom() const { return bottom_; }
    // The event's colour as a pixel, 0x00RRGGBB.
    uint32_t Tint() const { return tint_; }
    // The event's opacity as a weight of 1 to 256.
    int32_t Weight() const { return weight_; }

    // Row y counted from the top.
    uint32_t* Row(int32_t y) const { return pixels_ + size_t(height_ - 1 - y) * size_t(width_); }

    // The region point that output pixel (x, y) shows; false when it lies outside the region.
    bool Map(int32_t x, int32_t y, float& sx, float& sy) const {
        MapPoint(inverse_, float(x), float(y), sx, sy);
        return left_ <= sx && sx < right_ && top_ <= sy && sy < bottom_;
    }

    // The inverse matrix, row by row: output pixel -> region point.
    const float* Inverse() const { return inverse_; }

    // Where `m` takes the point (fx, fy). Whoever maps pixels in bulk calls this too, so that
    // every pixel lands on exactly the region point that Map gives it.
    static void MapPoint(const float* m, float fx, float fy, float& sx, float& sy) {
        float w = m[6] * fx + m[7] * fy + m[8];
        sx = (m[0] * fx + m[1] * fy + m[2]) / w;
        sy = (m[3] * fx + m[4] * fy + m[5]) / w;
    }

  private:
    static void Invert(const float* m, float* out) {
        double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
               i = m[8];
        double adj[9] = {e * i - f * h, c * h - b * i, b * f - c * e, f * g - d * i, a * i - c * g,
                         c * d - a * f, d * h - e * g, b * g - a * h, a * e - b * d};
        double det = a * adj[0] + b * adj[3] + c * adj[6];
        for (int k = 0; k < 9; ++k)
            out[k] = float(adj[k] / det);
    }

    // Narrows the visited rectangle to the region's corners as the forward matrix places them,
    // plus a pixel of margin; a region that crosses the horizon keeps the whole rectangle.
    void Cull(const float* m) {
        const float xs[4] = {left_, right_, left_, right_};
        const float ys[4] = {top_, top_, bottom_, bottom_};
        float px[4], py[4];
        int positive = 0, negative = 0;
        for (int k = 0; k < 4; ++k) {
            float w = m[6] * xs[k] + m[7] * ys[k] + m[8];
            if (w >= 0)
                ++positive;
            if (w <= 0)
                ++negative;
            px[k] = (m[0] * xs[k] + m[1] * ys[k] + m[2]) / w;
            py[k] = (m[3] * xs[k] + m[4] * ys[k] + m[5]) / w;
        }
        if (positive != 4 && negative != 4)
            return;
        float minX = *std::min_element(px, px + 4), maxX = *std::max_element(px, px + 4);
        float minY = *std::min_element(py, py + 4), maxY = *std::max_element(py, py + 4);
        if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) ||
            !std::isfinite(maxY)) {
            return;
        }
        x0_ = std::max(x0_, Whole(std::floor(minX) - 2));
        x1_ = std::min(x1_, Whole(std::ceil(maxX) + 2));
        y0_ = std::max(y0_, Whole(std::floor(minY) - 2));
        y1_ = std::min(y1_, Whole(std::ceil(maxY) + 2));
    }

    static int32_t Whole(float v) { return int32_t(std::clamp(v, -2.0e9f, 2.0e9f)); }

    uint32_t* pixels_ = nullptr;
    int32_t width_ = 0, height_ = 0;
    float left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
    uint32_t tint_ = 0;
    int32_t weight_ = 256;
    int32_t x0_ = 0, x1_ = 0, y0_ = 0, y1_ = 0;
    float inverse_[9] = {};
};

inline uint32_t Channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

// One channel of the blend modes, as picture events combine with the frame.
inline uint32_t BlendChannel(int32_t mode, uint32_t d, uint32_t s) {
    switch (mode) {
        case 1:
            return d & s;
        case 2:
            return d | s;
        case 3:
            return d ^ s;
        case 4:
            return d * s / 255;
        case 5:
            return std::min<uint32_t>(d + s, 255);
        case 6:
            return d > s ? d - s : 0;
        default:
            return s;
    }
}

inline bool ValidBlendMode(int32_t mode) {
    return mode >= 0 && mode <= 6;
}

// The blended result of s over d, laid over d with the weight w (0 to 256). Effects let the
// opacity weigh in every blend mode: a half-opaque multiply is half as strong.
inline uint32_t Combine(uint32_t d, uint32_t s, int32_t mode, int32_t w) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        uint32_t dc = Channel(d, shift);
        uint32_t r = BlendChannel(mode, dc, Channel(s, shift));
        uint32_t v = w >= 256 ? r : (uint32_t(w) * r + uint32_t(256 - w) * dc) >> 8;
        out |= v << shift;
    }
    return out;
}

// Each channel scaled by the event's colour; white leaves the pixel as it is.
inline uint32_t TintPixel(uint32_t s, uint32_t tint) {
    if (tint == 0x00FFFFFF)
        return s & 0x00FFFFFF;
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        out |= (Channel(s, shift) * Channel(tint, shift) / 255) << shift;
    }
    return out;
}

}  // namespace effect

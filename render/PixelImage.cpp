#include "render/PixelImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace kelvane {

namespace {
constexpr size_t kAlignment = 16;
constexpr int32_t kMaxSide = 1 << 16;
}  // namespace

PixelImage::~PixelImage() {
    Release();
}

PixelImage::PixelImage(PixelImage&& other) noexcept {
    *this = std::move(other);
}

PixelImage& PixelImage::operator=(PixelImage&& other) noexcept {
    if (this != &other) {
        Release();
        header_ = other.header_;
        pixels_ = std::exchange(other.pixels_, nullptr);
        byteSize_ = std::exchange(other.byteSize_, 0);
        alpha_ = std::exchange(other.alpha_, PixelAlpha::None);
        other.header_ = BitmapInfoHeader{};
    }
    return *this;
}

bool PixelImage::Create(int32_t width, int32_t height, int32_t bitsPerPixel) {
    Release();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        return false;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
        bitsPerPixel != 24 && bitsPerPixel != 32) {
        return false;
    }
    const size_t bytes = PitchFor(width, bitsPerPixel) * size_t(height);
    // Rounded up so that vector loads of the last row stay inside the allocation.
    const size_t allocated = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    auto* p = static_cast<uint8_t*>(
        ::operator new(allocated, std::align_val_t(kAlignment), std::nothrow));
    if (p == nullptr) {
        return false;
    }
    std::memset(p, 0, allocated);
    pixels_ = p;
    byteSize_ = bytes;
    header_ = BitmapInfoHeader{};
    header_.width = width;
    header_.height = height;
    header_.bitCount = uint16_t(bitsPerPixel);
    header_.sizeImage = uint32_t(bytes);
    return true;
}

void PixelImage::Release() {
    if (pixels_ != nullptr) {
        ::operator delete(pixels_, std::align_val_t(kAlignment));
    }
    pixels_ = nullptr;
    byteSize_ = 0;
    header_ = BitmapInfoHeader{};
    alpha_ = PixelAlpha::None;
}

void PixelImage::Fill(uint32_t colourBgr) {
    if (pixels_ == nullptr || header_.bitCount != 32) {
        return;
    }
    const uint32_t pixel = SwapRedBlue(colourBgr);
    auto* words = reinterpret_cast<uint32_t*>(pixels_);
    std::fill(words, words + byteSize_ / 4, pixel);
}

}  // namespace kelvane

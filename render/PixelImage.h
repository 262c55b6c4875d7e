#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane {

// The header of a device-independent bitmap, as stored in BMP files and AVI stream formats.
struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;  // positive: rows bottom-up
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0 = uncompressed RGB
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// What the fourth byte of a 32-bit pixel holds. An image composed for use elsewhere could carry
// a plane of its own later; the layout names where its alpha lives.
enum class PixelAlpha {
    None,      // no meaning, written as 0
    Straight,  // straight (not premultiplied) alpha, 255 = opaque
};

// An owned bottom-up bitmap. Rendering uses 32 bits per pixel only: the little-endian word
// 0x00RRGGBB, whose fourth byte carries no meaning and is written as 0 unless the image says it
// holds alpha.
class PixelImage {
  public:
    PixelImage() = default;
    ~PixelImage();
    PixelImage(const PixelImage&) = delete;
    PixelImage& operator=(const PixelImage&) = delete;
    PixelImage(PixelImage&& other) noexcept;
    PixelImage& operator=(PixelImage&& other) noexcept;

    // Releases what the image held, then allocates a zeroed bitmap. On failure the image is empty.
    bool Create(int32_t width, int32_t height, int32_t bitsPerPixel = 32);
    void Release();
    // colour is 0x00BBGGRR; every pixel becomes 0x00RRGGBB. 32-bit images only.
    void Fill(uint32_t colourBgr);

    bool Empty() const { return pixels_ == nullptr; }
    int32_t Width() const { return header_.width; }
    int32_t Height() const { return header_.height; }
    int32_t BitsPerPixel() const { return header_.bitCount; }
    size_t Pitch() const { return PitchFor(header_.width, header_.bitCount); }
    size_t ByteSize() const { return byteSize_; }
    const BitmapInfoHeader& Header() const { return header_; }
    PixelAlpha Alpha() const { return alpha_; }
    void SetAlpha(PixelAlpha alpha) { alpha_ = alpha; }

    uint8_t* Pixels() { return pixels_; }
    const uint8_t* Pixels() const { return pixels_; }
    // Row y counted from the top.
    uint8_t* Row(int32_t y) { return pixels_ + size_t(header_.height - 1 - y) * Pitch(); }
    const uint8_t* Row(int32_t y) const {
        return pixels_ + size_t(header_.height - 1 - y) * Pitch();
    }
    uint32_t* Row32(int32_t y) { return reinterpret_cast<uint32_t*>(Row(y)); }
    const uint32_t* Row32(int32_t y) const { return reinterpret_cast<const uint32_t*>(Row(y)); }

    static size_t PitchFor(int32_t width, int32_t bitsPerPixel) {
        return ((size_t(width) * size_t(bitsPerPixel) + 31) / 32) * 4;
    }

  private:
    BitmapInfoHeader header_{};
    uint32_t spareColour_ = 0;
    uint8_t* pixels_ = nullptr;
    size_t byteSize_ = 0;
    PixelAlpha alpha_ = PixelAlpha::None;
};

// 0x00BBGGRR <-> 0x00RRGGBB: swaps the lowest and the third byte, clears the fourth.
constexpr uint32_t SwapRedBlue(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

}  // namespace kelvane

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/PixelImage.h"

namespace kelvane {

// A picture as a reader delivered it, before conversion to 32 bits: the header, the colour table
// or bit masks needed to read its pixels, and its rows in bitmap layout. The pixels either point
// into `storage` or into a buffer that the caller keeps alive while the bitmap is used.
struct PictureBitmap {
    BitmapInfoHeader header{};  // a negative height means rows top-down
    uint32_t redMask = 0;       // masks of 16- and 32-bit pixels
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    uint32_t alphaMask = 0;      // 16- and 32-bit pixels with an alpha channel; 0 = none
    uint32_t palette[256] = {};  // 0x00RRGGBB; entries past the colour table stay black
    const uint8_t* pixels = nullptr;
    size_t pixelBytes = 0;
    std::vector<uint8_t> storage;

    PictureBitmap() = default;
    PictureBitmap(const PictureBitmap&) = delete;
    PictureBitmap& operator=(const PictureBitmap&) = delete;
    // Moving a vector keeps its buffer, so `pixels` stays valid.
    PictureBitmap(PictureBitmap&&) = default;
    PictureBitmap& operator=(PictureBitmap&&) = default;
};

// Compression values of the bitmap header that the conversion reads.
constexpr uint32_t kBitmapRgb = 0;
constexpr uint32_t kBitmapRle8 = 1;
constexpr uint32_t kBitmapRle4 = 2;
constexpr uint32_t kBitmapBitFields = 3;
constexpr uint32_t kBitmapAlphaBitFields = 6;

// Pictures larger than this are refused before anything is allocated: 8192 x 8192 pixels, a
// quarter of a gigabyte of 32-bit pixels, is far more than any output frame needs, and anything
// beyond it is more likely a damaged or hostile header than a picture.
constexpr uint64_t kMaxPicturePixels = uint64_t(1) << 26;

// Reads a bitmap information block: a 40-byte (or longer) header or a 12-byte core header, the
// bit masks and the colour table. `available` bounds what may be read; colour entries past it are
// left black. Does not touch `out.pixels`. False when the header is unusable.
bool ParseBitmapInfo(const uint8_t* info, size_t available, PictureBitmap& out);

// Bytes of pixel data that the header calls for (row size x |height|); 0 when the layout is one
// ConvertTo32 does not take or the picture is too large.
size_t BitmapPixelBytes(const BitmapInfoHeader& header);

// Converts any supported layout (1, 4, 8, 16, 24 or 32 bits; colour table or bit masks; rows
// bottom-up or top-down) into a 32-bit bottom-up image whose fourth bytes are 0. With
// `keepAlpha`, a picture with an alpha mask keeps its straight alpha in the fourth byte instead
// and says so (PixelImage::Alpha); an alpha channel that is 0 everywhere is taken for an unused
// one, as writers that fill it with nothing are common. False, with `out` as it was, when the
// layout is unsupported or the pixel data is shorter than the header says.
bool ConvertTo32(const PictureBitmap& bitmap, PixelImage& out, bool keepAlpha = false);

}  // namespace kelvane

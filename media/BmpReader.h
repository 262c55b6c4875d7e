#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "media/PictureBitmap.h"
#include "render/PixelImage.h"

namespace kelvane {

// Reads a BMP file image held in memory. On success `out` describes the picture and its pixels
// point into `data`, which must outlive it. Refuses anything but "BM" files with uncompressed or
// bit-field pixels, and files whose pixel rows are cut short.
bool ParseBmp(const uint8_t* data, size_t size, PictureBitmap& out);

// ParseBmp followed by ConvertTo32: a 32-bit bottom-up image. `out` is unchanged on failure.
bool ReadBmp(const uint8_t* data, size_t size, PixelImage& out);

// Reads a BMP file; the bitmap owns its pixel rows. Only the headers are read before the file is
// known to be a BMP, so handing it a large file of another kind costs little.
bool ReadBmpFile(std::u16string_view path, PictureBitmap& out);

}  // namespace kelvane

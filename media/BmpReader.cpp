#include "media/BmpReader.h"

#include <utility>

#include "media/BmpHeaders.h"

namespace kelvane {

bool ParseBmp(const uint8_t* data, size_t size, PictureBitmap& out) {
    PictureBitmap bmp;
    uint32_t offset = 0;
    if (data == nullptr || !ParseBmpHeaders(data, size, size, bmp, offset)) {
        return false;
    }
    bmp.pixels = data + offset;
    out = std::move(bmp);
    return true;
}

bool ReadBmp(const uint8_t* data, size_t size, PixelImage& out) {
    PictureBitmap bmp;
    return ParseBmp(data, size, bmp) && ConvertTo32(bmp, out);
}

}  // namespace kelvane

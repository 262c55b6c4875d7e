// Feeds arbitrary bytes to the BMP reader. Whatever it accepts must convert into an image of the
// size its header gave, with every fourth byte clear.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "media/BmpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvane::PictureBitmap bitmap;
    if (!kelvane::ParseBmp(data, size, bitmap)) {
        return 0;
    }
    kelvane::PixelImage image;
    if (!kelvane::ConvertTo32(bitmap, image)) {
        abort();  // a bitmap that parsed must convert
    }
    const int32_t height = bitmap.header.height < 0 ? -bitmap.header.height : bitmap.header.height;
    if (image.Width() != bitmap.header.width || image.Height() != height ||
        image.BitsPerPixel() != 32) {
        abort();
    }
    for (int32_t y = 0; y < image.Height(); ++y) {
        const uint32_t* row = image.Row32(y);
        for (int32_t x = 0; x < image.Width(); ++x) {
            if (row[x] >> 24 != 0) {
                abort();
            }
        }
    }
    return 0;
}

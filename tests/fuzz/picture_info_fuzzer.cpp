// Feeds arbitrary information and pixel blocks, as a picture plug-in might hand them back, to the
// conversion: the first two bytes give the size of the information block, the rest is pixels.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/PictureBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t infoBytes = std::min<size_t>(size - 2, data[0] | data[1] << 8);
    // Copies of exactly the stated sizes, so that a read past either block is caught.
    const std::vector<uint8_t> info(data + 2, data + 2 + infoBytes);
    const std::vector<uint8_t> pixels(data + 2 + infoBytes, data + size);

    kelvane::PictureBitmap bitmap;
    if (!kelvane::ParseBitmapInfo(info.data(), info.size(), bitmap)) {
        return 0;
    }
    bitmap.pixels = pixels.data();
    bitmap.pixelBytes = pixels.size();
    kelvane::PixelImage image;
    const bool converted = kelvane::ConvertTo32(bitmap, image);
    const size_t needed = kelvane::BitmapPixelBytes(bitmap.header);
    if (converted != (needed != 0 && pixels.size() >= needed)) {
        abort();  // the conversion takes exactly the layouts whose rows are all there
    }
    return 0;
}

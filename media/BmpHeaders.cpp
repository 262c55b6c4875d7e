#include "media/BmpHeaders.h"

#include <algorithm>

namespace kelvane {

uint32_t BmpPixelOffset(const uint8_t* head) {
    return uint32_t(head[10]) | (uint32_t(head[11]) << 8) | (uint32_t(head[12]) << 16) |
           (uint32_t(head[13]) << 24);
}

bool ParseBmpHeaders(const uint8_t* head, size_t headBytes, uint64_t fileSize, PictureBitmap& out,
                     uint32_t& pixelOffset) {
    if (headBytes < kBmpFileHeaderBytes || head[0] != 'B' || head[1] != 'M') {
        return false;
    }
    const uint32_t offset = BmpPixelOffset(head);
    // Pixel rows that overlap the headers, or begin past the end of the file, mean a damaged file.
    if (offset < kBmpFileHeaderBytes + 12 || offset > fileSize) {
        return false;
    }
    // Whatever lies between the headers and the pixel offset may hold the colour table.
    const size_t infoBytes = std::min<uint64_t>(headBytes, offset) - kBmpFileHeaderBytes;
    if (!ParseBitmapInfo(head + kBmpFileHeaderBytes, infoBytes, out)) {
        return false;
    }
    const size_t needed = BitmapPixelBytes(out.header);
    if (needed == 0 || fileSize - offset < needed) {
        return false;
    }
    out.pixelBytes = needed;
    pixelOffset = offset;
    return true;
}

}  // namespace kelvane

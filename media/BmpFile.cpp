#include <algorithm>
#include <new>
#include <vector>

#include "media/BmpHeaders.h"
#include "media/BmpReader.h"
#include "platform/File.h"

namespace kelvane {

bool ReadBmpFile(std::u16string_view path, PictureBitmap& out) {
    File file;
    uint64_t size = 0;
    uint8_t fileHeader[kBmpFileHeaderBytes];
    if (!file.Open(path, File::Mode::Read) || !file.Size(size) || size < sizeof fileHeader ||
        !file.Read(fileHeader, sizeof fileHeader) || fileHeader[0] != 'B' || fileHeader[1] != 'M') {
        return false;
    }
    const uint64_t offset = BmpPixelOffset(fileHeader);
    const size_t headBytes = size_t(std::min<uint64_t>({offset, size, kBmpMaxHeadBytes}));
    try {
        PictureBitmap bmp;
        std::vector<uint8_t> head(std::max(headBytes, sizeof fileHeader));
        std::copy(std::begin(fileHeader), std::end(fileHeader), head.begin());
        uint32_t pixelOffset = 0;
        if (headBytes > sizeof fileHeader &&
            !file.Read(head.data() + sizeof fileHeader, headBytes - sizeof fileHeader)) {
            return false;
        }
        if (!ParseBmpHeaders(head.data(), head.size(), size, bmp, pixelOffset)) {
            return false;
        }
        bmp.storage.resize(bmp.pixelBytes);
        if (!file.Seek(pixelOffset) || !file.Read(bmp.storage.data(), bmp.pixelBytes)) {
            return false;
        }
        bmp.pixels = bmp.storage.data();
        out = std::move(bmp);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace kelvane

#include "media/BmpWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/File.h"
#include "platform/Path.h"

namespace kelvane {

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kHeadBytes = kFileHeaderBytes + sizeof(BitmapInfoHeader);

void PutU16(uint8_t* at, uint16_t value) {
    std::memcpy(at, &value, sizeof value);
}
void PutU32(uint8_t* at, uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

}  // namespace

bool WritePreviewBmp(std::u16string_view path, const PixelImage& image) {
    if (image.Empty()) {
        return false;
    }
    // The sizes as the bitmap reports them; they must fit the header's 32-bit fields.
    const uint64_t pixelBytes =
        uint64_t(image.Height()) * PixelImage::PitchFor(image.Width(), image.BitsPerPixel());
    if (pixelBytes > UINT32_MAX - kHeadBytes || pixelBytes > image.ByteSize()) {
        return false;
    }
    uint8_t fileHeader[kFileHeaderBytes] = {'B', 'M'};
    PutU32(fileHeader + 2, uint32_t(kHeadBytes + pixelBytes));
    PutU16(fileHeader + 6, 0);
    PutU16(fileHeader + 8, 0);
    PutU32(fileHeader + 10, kHeadBytes);

    BitmapInfoHeader info;
    info.size = sizeof(BitmapInfoHeader);
    info.width = image.Width();
    info.height = image.Height();
    info.planes = 1;
    info.bitCount = uint16_t(image.BitsPerPixel());
    info.compression = 0;
    info.sizeImage = uint32_t(pixelBytes);

    File file;
    if (!file.Open(path, File::Mode::CreateWrite)) {
        return false;
    }
    bool ok = file.Write(fileHeader, sizeof fileHeader) && file.Write(&info, sizeof info) &&
              file.Write(image.Pixels(), size_t(pixelBytes));
    ok = file.Close() && ok;
    if (!ok) {
        // A picture cut short is of no use; the failure note says why it is not there.
        std::remove(ToNativePath(path).c_str());
    }
    return ok;
}

}  // namespace kelvane

#include "support/BmpFiles.h"

#include <fstream>
#include <vector>

namespace kelvane::testing {
namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(uint8_t(v >> (8 * i)));
    }
}

}  // namespace

void WriteBmp(const std::string& path, int width, int height,
              const std::function<uint32_t(int, int)>& pixel, int bitsPerPixel) {
    const uint32_t bytesPerPixel = uint32_t(bitsPerPixel / 8);
    const uint32_t pitch = (uint32_t(width) * bytesPerPixel + 3) & ~3u;
    const uint32_t imageBytes = pitch * uint32_t(height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + imageBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, uint16_t(bitsPerPixel));
    Put32(out, 0);
    Put32(out, imageBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int x = 0; x < width; ++x) {
            const uint32_t c = pixel(x, y) & 0xFFFFFF;
            for (uint32_t i = 0; i < bytesPerPixel; ++i) {
                out.push_back(uint8_t(c >> (8 * i)));
            }
        }
        out.resize(rowStart + pitch, 0);
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

void WriteSolidBmp(const std::string& path, int width, int height, uint32_t rgb) {
    WriteBmp(path, width, height, [rgb](int, int) { return rgb; });
}

}  // namespace kelvane::testing

#include "picture_test_tools.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kelvane::testing {

bool RunTool(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool ToolAvailable(const std::string& name) {
    return RunTool("command -v " + name);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReferenceRgb(const std::string& path) {
    const std::string out = path + ".reference.rgb";
    if (!RunTool("convert '" + path + "[0]' -depth 8 rgb:'" + out + "'")) {
        return {};
    }
    return ReadBytes(out);
}

std::vector<uint8_t> ReferenceRgbRounded(const std::string& path) {
    const std::string out = path + ".reference16.rgb";
    if (!RunTool("convert '" + path + "[0]' -depth 16 -endian LSB rgb:'" + out + "'")) {
        return {};
    }
    const std::vector<uint8_t> wide = ReadBytes(out);
    std::vector<uint8_t> rgb(wide.size() / 2);
    for (size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = uint8_t(((wide[2 * i] | wide[2 * i + 1] << 8) * 255 + 32767) / 65535);
    }
    return rgb;
}

Difference Compare(const PixelImage& image, const std::vector<uint8_t>& rgb, int width, int height,
                   int tolerance) {
    Difference d;
    d.sizeMatches = image.Width() == width && image.Height() == height &&
                    image.BitsPerPixel() == 32 && rgb.size() == size_t(width) * height * 3;
    if (!d.sizeMatches) {
        return d;
    }
    uint64_t total = 0;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = image.Row32(y);
        for (int x = 0; x < width; ++x) {
            const uint8_t* ref = &rgb[(size_t(y) * width + x) * 3];
            const int got[3] = {int(row[x] >> 16 & 0xFF), int(row[x] >> 8 & 0xFF),
                                int(row[x] & 0xFF)};
            d.fourthBytesClear = d.fourthBytesClear && (row[x] >> 24) == 0;
            for (int c = 0; c < 3; ++c) {
                const int diff = std::abs(got[c] - ref[c]);
                d.largest = std::max(d.largest, diff);
                total += uint64_t(diff);
                if (diff > tolerance && d.firstX < 0) {
                    d.firstX = x;
                    d.firstY = y;
                }
            }
        }
    }
    d.mean = double(total) / double(rgb.size());
    return d;
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes.at(at)) | uint32_t(bytes.at(at + 1)) << 8 |
           uint32_t(bytes.at(at + 2)) << 16 | uint32_t(bytes.at(at + 3)) << 24;
}

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.at(at + i) = uint8_t(value >> (8 * i));
    }
}

}  // namespace kelvane::testing

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "render/PixelImage.h"
#include "support/ScratchFolder.h"

namespace kelvane::testing {

// Runs a shell command with its output silenced; true when it exited with 0.
bool RunTool(const std::string& command);
bool ToolAvailable(const std::string& name);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Top-down rows of 8-bit RGB triples as ImageMagick decodes the file.
std::vector<uint8_t> ReferenceRgb(const std::string& path);
// The same from ImageMagick's 16-bit decode, each channel rounded to the nearest 8-bit value
// (ImageMagick's own 8-bit output truncates).
std::vector<uint8_t> ReferenceRgbRounded(const std::string& path);

struct Difference {
    bool sizeMatches = false;
    int largest = 0;  // the largest difference of one channel
    double mean = 0;  // the mean difference of all channels
    int firstX = -1;  // the first pixel that differs by more than the tolerance
    int firstY = -1;
    bool fourthBytesClear = true;
};

// Compares a 32-bit image with top-down RGB triples of the given size.
Difference Compare(const PixelImage& image, const std::vector<uint8_t>& rgb, int width, int height,
                   int tolerance = 0);

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at);
void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);

}  // namespace kelvane::testing

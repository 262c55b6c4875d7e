#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kelvane::testing {

// Writes an uncompressed bottom-up BMP of 24 or 32 bits per pixel; `pixel(x, y)` gives 0x00RRGGBB
// with y counted from the top.
void WriteBmp(const std::string& path, int width, int height,
              const std::function<uint32_t(int, int)>& pixel, int bitsPerPixel = 32);
void WriteSolidBmp(const std::string& path, int width, int height, uint32_t rgb);

}  // namespace kelvane::testing

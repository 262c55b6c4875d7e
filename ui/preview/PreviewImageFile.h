#pragma once

#include <string_view>

#include "render/PixelImage.h"

namespace kelvane {

// Writes what the preview shows as a BMP file, byte for byte as kelvane-render --frame does.
bool writePreviewImage(std::u16string_view path, const PixelImage& image);

}  // namespace kelvane

#pragma once

#include <string_view>

#include "render/PixelImage.h"

namespace kelvane {

// Writes the image as the preview pane and the command line save it: a 14-byte file header, the
// 40-byte information header (width, positive height, planes 1, the image's bits per pixel, no
// compression, the pixel byte size, no resolution, no colour counts) and the rows exactly as held,
// bottom row first. An existing file is replaced. False when the image is empty or any part could
// not be written completely.
bool WritePreviewBmp(std::u16string_view path, const PixelImage& image);

}  // namespace kelvane

#pragma once

#include <span>
#include <string_view>

#include "media/PictureBitmap.h"
#include "platform/DynamicModule.h"
#include "render/PixelImage.h"

namespace kelvane {

// Asks the picture plug-ins for a file, in list order; entries that are not loaded are passed
// over, as are modules without the "IsSupported" or "GetPicture" export. The first plug-in that
// takes the file decides: when it fails, the load fails. On success the bitmap owns its rows.
bool LoadWithPlugins(std::u16string_view path, std::span<const DynamicModule> plugins,
                     PictureBitmap& out);

// A still picture as the renderer draws it: the built-in BMP reader first, then the plug-ins,
// converted to 32 bits. `out` is unchanged on failure.
bool LoadPictureFile(std::u16string_view path, std::span<const DynamicModule> plugins,
                     PixelImage& out);

}  // namespace kelvane

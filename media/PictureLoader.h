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
// With `keepAlpha` the plug-ins are told that a picture may come back with its alpha channel.
bool LoadWithPlugins(std::u16string_view path, std::span<const DynamicModule> plugins,
                     PictureBitmap& out, bool keepAlpha = false);

// A still picture as the renderer draws it: the built-in BMP reader first, then the plug-ins,
// converted to 32 bits. With `keepAlpha` a picture with alpha keeps it (see ConvertTo32); without,
// it is what it always was. `out` is unchanged on failure.
bool LoadPictureFile(std::u16string_view path, std::span<const DynamicModule> plugins,
                     PixelImage& out, bool keepAlpha = false);

}  // namespace kelvane

#include "media/PictureLoader.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "media/BmpReader.h"
#include "platform/File.h"

#define KELVANE_PICTURE_NO_DECLARATIONS
#include "kelvane/picture_plugin.h"

namespace kelvane {

namespace {

// Plug-ins are handed at least this many bytes, zero-padded, both in the probe and in the decode,
// so that a plug-in that reads a whole probe header never reads past a short file.
constexpr size_t kProbeBytes = 2048;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using PluginBlock = std::unique_ptr<uint8_t, FreeDeleter>;

// A plug-in's probe; null for an entry that is not loaded or lacks the export.
KelvanePictureIsSupported IsSupportedOf(const DynamicModule& module) {
    return module.IsLoaded() ? module.Lookup<KelvanePictureIsSupported>("IsSupported") : nullptr;
}

// Copies the plug-in's picture out of its two blocks. The blocks come from a library we did not
// write, so nothing is read past what malloc says the block holds.
bool TakePluginPicture(PluginBlock info, PluginBlock pixels, PictureBitmap& out) {
    if (!info || !pixels) {
        return false;
    }
    PictureBitmap bmp;
    if (!ParseBitmapInfo(info.get(), malloc_usable_size(info.get()), bmp)) {
        return false;
    }
    const size_t needed = BitmapPixelBytes(bmp.header);
    if (needed == 0 || malloc_usable_size(pixels.get()) < needed) {
        return false;
    }
    bmp.storage.assign(pixels.get(), pixels.get() + needed);
    bmp.pixels = bmp.storage.data();
    bmp.pixelBytes = needed;
    out = std::move(bmp);
    return true;
}

}  // namespace

bool LoadWithPlugins(std::u16string_view path, std::span<const DynamicModule> plugins,
                     PictureBitmap& out, bool keepAlpha) {
    File file;
    uint64_t size = 0;
    if (!file.Open(path, File::Mode::Read) || !file.Size(size)) {
        return false;
    }
    uint8_t header[kProbeBytes] = {};
    const size_t headerBytes = size_t(std::min<uint64_t>(size, kProbeBytes));
    if (headerBytes > 0 && !file.Read(header, headerBytes)) {
        return false;
    }

    // A cheap look at the header first, so that files no plug-in knows are never read whole.
    const bool known = std::any_of(plugins.begin(), plugins.end(), [&](const DynamicModule& m) {
        const auto isSupported = IsSupportedOf(m);
        return isSupported != nullptr && isSupported(nullptr, header) != 0;
    });
    if (!known || size > SIZE_MAX - kProbeBytes) {
        return false;
    }

    try {
        std::vector<uint8_t> image(std::max<size_t>(size_t(size), kProbeBytes));
        if (!file.Seek(0) || (size > 0 && !file.Read(image.data(), size_t(size)))) {
            return false;
        }
        for (const DynamicModule& module : plugins) {
            const auto isSupported = IsSupportedOf(module);
            const auto getPicture = module.Lookup<KelvanePictureGetPicture>("GetPicture");
            if (isSupported == nullptr || getPicture == nullptr ||
                isSupported(nullptr, image.data()) == 0) {
                continue;
            }
            void* info = nullptr;
            void* pixels = nullptr;
            const unsigned flags =
                KELVANE_PICTURE_INPUT_MEMORY | (keepAlpha ? KELVANE_PICTURE_KEEP_ALPHA : 0u);
            if (getPicture(image.data(), size_t(size), flags, &info, &pixels, nullptr, 0) !=
                KELVANE_PICTURE_OK) {
                return false;  // the plug-in that took the file decides
            }
            if (info == pixels) {  // one block handed back twice must be freed once
                std::free(info);
                return false;
            }
            return TakePluginPicture(PluginBlock(static_cast<uint8_t*>(info)),
                                     PluginBlock(static_cast<uint8_t*>(pixels)), out);
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

bool LoadPictureFile(std::u16string_view path, std::span<const DynamicModule> plugins,
                     PixelImage& out, bool keepAlpha) {
    PictureBitmap bitmap;
    if (!ReadBmpFile(path, bitmap) && !LoadWithPlugins(path, plugins, bitmap, keepAlpha)) {
        return false;
    }
    return ConvertTo32(bitmap, out, keepAlpha);
}

}  // namespace kelvane

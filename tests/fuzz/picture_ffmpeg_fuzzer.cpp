// Feeds arbitrary files to the FFmpeg picture plug-in as the program would: the probe with at
// least 2048 zero-padded bytes, then the decode of the exact file image. A picture handed back
// must be a 32-bit bottom-up bitmap with every fourth byte clear.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kelvane/picture_plugin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> padded(data, data + size);
    padded.resize(size < 2048 ? 2048 : size);
    if (IsSupported(nullptr, padded.data()) == 0) {
        return 0;
    }
    const std::vector<uint8_t> exact(data, data + size);
    void* info = nullptr;
    void* pixels = nullptr;
    if (GetPicture(exact.data(), exact.size(), KELVANE_PICTURE_INPUT_MEMORY, &info, &pixels,
                   nullptr, 0) != KELVANE_PICTURE_OK) {
        if (info != nullptr || pixels != nullptr) {
            abort();  // a failed decode hands nothing back
        }
        return 0;
    }
    const auto* header = static_cast<const KelvanePictureInfoHeader*>(info);
    if (header->biSize != 40 || header->biBitCount != 32 || header->biWidth <= 0 ||
        header->biHeight <= 0) {
        abort();
    }
    const auto* bytes = static_cast<const uint8_t*>(pixels);
    const size_t count = size_t(header->biWidth) * size_t(header->biHeight);
    for (size_t i = 0; i < count; ++i) {
        if (bytes[4 * i + 3] != 0) {
            abort();
        }
    }
    free(info);
    free(pixels);
    return 0;
}

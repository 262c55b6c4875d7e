#include "model/FileEntry.h"

#include <cstring>
#include <exception>
#include <limits>
#include <new>

namespace kelvane {

void FileEntry::Release() {
    kind = FileKind::None;
    loaded.reset();
    textLength = 0;
    text.clear();
    text.shrink_to_fit();
    std::memset(path, 0, sizeof(path));
    colour = 0;
    std::memset(&font, 0, sizeof(font));
    currentFrame = -1;
    pixelFlags = 0;
}

bool FileEntry::SetText(std::u16string_view value) {
    if (value.size() > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    try {
        text.assign(value);
    } catch (const std::exception&) {
        return false;
    }
    textLength = uint32_t(value.size());
    return true;
}

bool FileEntry::CopyDescriptorFrom(const FileEntry& other) {
    if (&other == this) {
        return true;
    }
    std::u16string copy;
    try {
        copy.assign(other.text);
    } catch (const std::exception&) {
        return false;
    }
    Release();
    kind = other.kind;
    textLength = other.textLength;
    text = std::move(copy);
    std::memcpy(path, other.path, sizeof(path));
    referenceDuration = other.referenceDuration;
    colour = other.colour;
    font = other.font;
    pixelFlags = other.pixelFlags;
    return true;
}

uint32_t FileEntry::DefaultPixelFlags() const {
    switch (kind) {
        case FileKind::Movie:
        case FileKind::Image:
            return loaded && loaded->HasAlpha() ? kPixelUseAlpha : 0;
        case FileKind::Text:
            return kPixelSmoothText;
        default:
            return 0;
    }
}

}  // namespace kelvane

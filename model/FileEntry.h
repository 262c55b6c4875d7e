#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/FileKind.h"
#include "model/LoadedSource.h"
#include "model/TrackEvent.h"
#include "platform/LogFont.h"
#include "platform/Path.h"

namespace kelvane {

// Written as the transparent colour when a source has none; any value from 0x01000000 up
// means none.
constexpr uint32_t kNoTransparentColour = 0xFF000000;

// How an entry's pixels are drawn beyond the key colour (FileEntry::pixelFlags).
constexpr uint32_t kPixelUseAlpha = 1;               // pictures, movies: the file's alpha
constexpr uint32_t kPixelSmoothText = 2;             // texts: glyph coverage as alpha
constexpr uint32_t kPixelTransparentBackground = 4;  // nested projects: no background

// The flags an entry of `kind` can have.
constexpr uint32_t AllowedPixelFlags(FileKind kind) {
    switch (kind) {
        case FileKind::Movie:
        case FileKind::Image:
            return kPixelUseAlpha;
        case FileKind::Text:
            return kPixelSmoothText;
        case FileKind::Project:
            return kPixelTransparentBackground;
        default:
            return 0;
    }
}

// One slot of the file table. The slot index is the file ID that events name.
struct FileEntry {
    FileKind kind = FileKind::None;
    // Built by the media layer; never stored in project files and never shared with snapshots.
    std::unique_ptr<LoadedSource> loaded;
    uint32_t textLength = 0;  // UTF-16 code units of `text`, without the terminator
    // Movies: the duration of one source frame that the user gave; 0 or less = the stream's own.
    RefTime referenceDuration = 0;
    PathBuffer path{};
    // Kinds 1, 2, 5: transparent colour 0x00BBGGRR, or kNoTransparentColour. Kind 3: the text
    // image's background key, (text colour & 0xFFFFFF) ^ 0x808080. Kind 4: unused.
    uint32_t colour = 0;
    LogFont font{};
    int32_t currentFrame = -1;  // source frame the loaded image holds; -1 = none
    // Kind 3: the text itself. Undo compares it, so it lives here rather than in `loaded`.
    std::u16string text;
    uint32_t pixelFlags = 0;  // kPixel* bits that AllowedPixelFlags(kind) permits

    bool Used() const { return kind != FileKind::None; }
    bool HasTransparentColour() const { return colour < 0x01000000; }
    // The text colour of a text entry, recovered from the key colour.
    uint32_t TextColour() const { return colour ^ 0x808080; }

    // Back to an unused slot. The reference duration survives: a reload sets it before loading
    // and the file list's delete clears it itself.
    void Release();
    // Stores the text and its length; false (nothing changed) when memory runs out or the text
    // is longer than a 32-bit length can say.
    bool SetText(std::u16string_view value);
    // What an undo snapshot keeps of a slot: kind, text, path, reference duration, colour, font
    // and pixel flags, without the loaded object (the slot is released first). False, with this
    // slot as it was, when memory runs out.
    bool CopyDescriptorFrom(const FileEntry& other);
    // The flags of an entry added now: a picture or movie whose file has alpha uses it, a text is
    // smoothed, a nested project keeps its background.
    uint32_t DefaultPixelFlags() const;
};

// The key colour that a text entry keeps for a text colour 0x00BBGGRR.
constexpr uint32_t TextKeyColour(uint32_t textColour) {
    return (textColour & 0xFFFFFF) ^ 0x808080;
}

}  // namespace kelvane

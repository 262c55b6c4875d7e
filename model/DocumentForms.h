#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "model/Project.h"
#include "platform/LogFont.h"

namespace kelvane {

// The file list's current ID and its marked IDs: the file commands act on the marks and move the
// cursor as the list shows it.
struct FileSelection {
    uint32_t cursor = 0;
    std::bitset<kFileSlots> marks;
};

// The values of the project properties dialog.
struct ProjectSettingsForm {
    std::u16string basePath;
    uint32_t width = 0;
    uint32_t height = 0;
    double frameRate = 0;
    std::u16string length;  // a frame count or a typed time
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    int32_t defaultDrawMethod = 0;
};

// The values of the file properties dialog.
struct FilePropertiesForm {
    uint32_t id = 0;  // the ID the user wants for the entry
    bool useText = false;
    std::u16string text;
    std::u16string path;
    std::u16string referenceRate;  // empty = none; a rate or a "m:s.fraction" frame duration
    bool useTransparent = false;   // for files; a text takes the colour as its text colour
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    LogFont font{};
    uint32_t pixelFlags = 0;         // kPixel* bits; those the entry's kind cannot have are ignored
    FileKind kind = FileKind::None;  // of the entry as loaded
    bool alphaAvailable = false;     // the loaded file has alpha ("use alpha" can be chosen)
};

}  // namespace kelvane

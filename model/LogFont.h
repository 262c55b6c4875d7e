#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane {

// The 92-byte font record of a text entry, kept byte for byte as project files store it.
struct LogFont {
    int32_t height;
    int32_t width;
    int32_t escapement;
    int32_t orientation;
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    uint8_t strikeOut;
    uint8_t charSet;
    uint8_t outPrecision;
    uint8_t clipPrecision;
    uint8_t quality;
    uint8_t pitchAndFamily;
    char16_t faceName[32];
};

static_assert(sizeof(LogFont) == 92);
static_assert(offsetof(LogFont, italic) == 20);
static_assert(offsetof(LogFont, faceName) == 28);

}  // namespace kelvane

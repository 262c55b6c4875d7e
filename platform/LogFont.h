#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelvane {

// The font record of a text entry, kept byte for byte as project files store it (92 bytes,
// little-endian, no padding). Height > 0 is the cell height in pixels, < 0 the character height,
// 0 a default size; weight 0 means regular (400).
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
    char16_t faceName[32];  // NUL-terminated when shorter than 32 units
};

// Values of the quality byte.
enum LogFontQuality : uint8_t {
    kFontQualityDefault = 0,
    kFontQualityDraft = 1,
    kFontQualityProof = 2,
    kFontQualityNonAntialiased = 3,
    kFontQualityAntialiased = 4,
    kFontQualityClearType = 5,
    kFontQualityClearTypeNatural = 6,
};

static_assert(sizeof(LogFont) == 92);
static_assert(offsetof(LogFont, height) == 0);
static_assert(offsetof(LogFont, width) == 4);
static_assert(offsetof(LogFont, escapement) == 8);
static_assert(offsetof(LogFont, orientation) == 12);
static_assert(offsetof(LogFont, weight) == 16);
static_assert(offsetof(LogFont, italic) == 20);
static_assert(offsetof(LogFont, underline) == 21);
static_assert(offsetof(LogFont, strikeOut) == 22);
static_assert(offsetof(LogFont, charSet) == 23);
static_assert(offsetof(LogFont, outPrecision) == 24);
static_assert(offsetof(LogFont, clipPrecision) == 25);
static_assert(offsetof(LogFont, quality) == 26);
static_assert(offsetof(LogFont, pitchAndFamily) == 27);
static_assert(offsetof(LogFont, faceName) == 28);
static_assert(std::endian::native == std::endian::little);

}  // namespace kelvane

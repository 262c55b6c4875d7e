#pragma once

#include <cstdint>
#include <string_view>

#include "platform/LogFont.h"
#include "render/PixelImage.h"

namespace kelvane {

// The transparent colour of a text image, 0x00BBGGRR: the text colour with the top bit of each
// channel flipped, so that it never equals the text colour. The project file stores it; the text
// colour comes back as background XOR 0x808080.
constexpr uint32_t TextBackground(uint32_t textColour) {
    return (textColour & 0xFFFFFF) ^ 0x808080;
}

// Renders text (UTF-16, line breaks and tabs allowed, may be empty) once into a 32-bit
// bottom-up image exactly as large as the text: left- and top-aligned, lines only at line
// breaks, text colour `textColour` (0x00BBGGRR) on the opaque background TextBackground().
// `textImageMode` is the "TextImageMode" setting: 1 and 2 smooth the glyphs and then cut the
// smoothed edges away (1) or make them solid text colour (2); 3 draws without smoothing; other
// values follow the font record's quality byte and keep the blended edges. The empty text gives
// one background pixel. With `smoothEdges` the setting is not used: every pixel has the text
// colour and the glyphs' smoothed coverage as straight alpha (0 where there is no text), and the
// image says it holds alpha. On failure `image` is left as it was.
bool MakeTextImage(std::u16string_view text, uint32_t textColour, const LogFont& font,
                   int32_t textImageMode, PixelImage& image, bool smoothEdges = false);

}  // namespace kelvane

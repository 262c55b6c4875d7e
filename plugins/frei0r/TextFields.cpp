#include "TextFields.h"

#include <cstdint>

namespace frei0r_bridge {

namespace {

// The next code point of `text` from `i`, which moves past it.
char32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return uint8_t(text[k]); };
    uint8_t lead = byte(i++);
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 && lead < 0xF5   ? 3
                : lead >= 0xE0                ? 2
                : lead >= 0xC2 && lead < 0xE0 ? 1
                                              : -1;
    if (extra < 0)
        return 0xFFFD;
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (byte(i) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (byte(i++) & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return 0xFFFD;
    return cp;
}

}  // namespace

void SetUtf16(KelvaneChar16* field, size_t capacity, const std::string& text) {
    size_t n = 0, i = 0;
    while (i < text.size()) {
        char32_t cp = NextCodePoint(text, i);
        size_t units = cp >= 0x10000 ? 2 : 1;
        if (n + units + 1 > capacity)
            break;
        if (units == 2) {
            cp -= 0x10000;
            field[n++] = KelvaneChar16(0xD800 + (cp >> 10));
            field[n++] = KelvaneChar16(0xDC00 + (cp & 0x3FF));
        } else {
            field[n++] = KelvaneChar16(cp);
        }
    }
    while (n < capacity)
        field[n++] = 0;
}

}  // namespace frei0r_bridge

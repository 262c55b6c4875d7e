#pragma once

#include <cstddef>
#include <string>

#include "kelvane/kelvane_effect.h"

namespace frei0r_bridge {

// Writes UTF-8 `text` into a fixed UTF-16 field, cut at a whole character so that the terminator
// fits; malformed bytes become U+FFFD.
void SetUtf16(KelvaneChar16* field, size_t capacity, const std::string& text);

template <size_t N>
void SetText(KelvaneChar16 (&field)[N], const std::string& text) {
    SetUtf16(field, N, text);
}

}  // namespace frei0r_bridge

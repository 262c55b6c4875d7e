#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/EventExtras.h"

namespace kelvane {

// The byte form of a run of EventExtras where they travel with raw event records (the clipboard
// block, the crash journal). Per entry: f32 volume, u32 audio flags, u32 parameter count, then per
// parameter u32 index, u32 type, 3 x f64, u32 text bytes and the UTF-8 text. Little-endian.

// Appends the entries; false when memory runs out.
bool AppendExtras(std::span<const EventExtras> extras, std::vector<uint8_t>& out);

// Reads `count` entries from the front of `bytes`, advancing it past them. False, with `extras`
// empty, when the bytes end early or memory runs out.
bool ReadExtras(std::span<const uint8_t>& bytes, uint32_t count, std::vector<EventExtras>& extras);

// Whether any of the entries differs from the defaults.
bool AnyExtras(std::span<const EventExtras> extras);

}  // namespace kelvane

#pragma once

#include <cstdint>

namespace kelvane {

// An event colour is 0xAABBGGRR with the opacity 1 to 256 in the top byte, 256 stored as 0 so
// that 0x00FFFFFF is opaque white.
constexpr uint32_t EventOpacity(uint32_t colour) {
    const uint32_t stored = colour >> 24;
    return stored != 0 ? stored : 256;
}

// The colour with opacity 1 to 256 stored in its top byte.
constexpr uint32_t WithOpacity(uint32_t colour, uint32_t opacity) {
    return (colour & 0x00FFFFFF) | ((opacity & 0xFF) << 24);
}

}  // namespace kelvane

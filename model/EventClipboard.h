#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/TrackEvent.h"

namespace kelvane {

// The block of events that copy and paste exchange: kind, count, the records as they lie in
// memory, then 16 zero bytes. Blocks copied from a track and from the template list have the
// same layout, so either can be pasted into the other.
struct EventClipboardBlock {
    static constexpr uint32_t kKindEvents = 2;  // the only kind written or accepted
    static constexpr size_t kHeaderBytes = 8;
    static constexpr size_t kTrailerBytes = 16;

    // count x 152 + 24 bytes; false when memory runs out or the count does not fit 32 bits.
    static bool Encode(std::span<const TrackEvent> events, std::vector<uint8_t>& block);
    // The records of a block of events. Refused (false, `events` empty): a block too short for
    // its header, of another kind, or shorter than its count of records claims. The trailing
    // zero bytes are not required: another writer may leave them off, and no record is lost.
    static bool Decode(std::span<const uint8_t> block, std::vector<TrackEvent>& events);
};

}  // namespace kelvane

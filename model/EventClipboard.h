#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/EventExtras.h"
#include "model/TrackEvent.h"

namespace kelvane {

class Clipboard;

// The block of events that copy and paste exchange: kind, count, the records as they lie in
// memory, then 16 zero bytes. Blocks copied from a track and from the template list have the
// same layout, so either can be pasted into the other. When some event has extras, the block
// goes on after the zero bytes with "KEXT", the count and the extras of every event in order;
// readers that stop at the zero bytes paste the records alone.
struct EventClipboardBlock {
    static constexpr uint32_t kKindEvents = 2;  // the only kind written or accepted
    static constexpr size_t kHeaderBytes = 8;
    static constexpr size_t kTrailerBytes = 16;

    // count x 152 + 24 bytes; false when memory runs out or the count does not fit 32 bits.
    // `extras`, when given, holds one entry per event.
    static bool Encode(std::span<const TrackEvent> events, std::vector<uint8_t>& block,
                       std::span<const EventExtras> extras = {});
    // The records of a block of events. Refused (false, `events` empty): a block too short for
    // its header, of another kind, or shorter than its count of records claims. The trailing
    // zero bytes are not required: another writer may leave them off, and no record is lost.
    // `extras`, when asked for, gets one entry per event: the defaults when the block has none
    // or its extras are damaged.
    static bool Decode(std::span<const uint8_t> block, std::vector<TrackEvent>& events,
                       std::vector<EventExtras>* extras = nullptr);
};

// Puts the events on the clipboard, with starts made relative to the first event's when asked;
// false when the clipboard refused them.
bool PutEventsOnClipboard(Clipboard& clipboard, std::vector<TrackEvent> events, bool relativeStarts,
                          std::span<const EventExtras> extras = {});
// The events of the clipboard's block; false (and none) without a usable block.
bool TakeEventsFromClipboard(Clipboard& clipboard, std::vector<TrackEvent>& events,
                             std::vector<EventExtras>* extras = nullptr);

// An event that the copy, cut, delete and properties commands act on.
inline bool IsUsedAndSelected(const TrackEvent& event) {
    return (event.flags & (kEventUsed | kEventSelected)) == (kEventUsed | kEventSelected);
}

}  // namespace kelvane

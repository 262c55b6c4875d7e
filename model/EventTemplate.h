#pragma once

#include <cstddef>

#include "model/EventExtras.h"
#include "model/TrackEvent.h"

namespace kelvane {

// A template slot holds an ordinary event record whose start is always 0; it is in use when its
// Used flag is set.
using EventTemplate = TrackEvent;

constexpr size_t kTemplateSlots = 64;

// The key that inserts slot i in the timeline: "1" to "9", "0", then the letters of the two lower
// keyboard rows for slots 0 to 25; a space (no key) for the rest.
char16_t TemplateKeyLabel(size_t slot);

// Writes an event into a template slot; the slot never keeps a start.
inline void StoreTemplate(EventTemplate& slot, const TrackEvent& event) {
    slot = event;
    slot.start = 0;
}

// The same with the event's extras, which go into the slot's place beside the record.
inline void StoreTemplate(EventTemplate& slot, EventExtras& slotExtras, const TrackEvent& event,
                          const EventExtras& extras) {
    StoreTemplate(slot, event);
    slotExtras = extras;
}

inline bool TemplateInUse(const EventTemplate& slot) {
    return (slot.flags & kEventUsed) != 0;
}

}  // namespace kelvane

#pragma once

#include <cstdint>
#include <optional>

#include <Qt>

#include "model/Track.h"
#include "ui/timeline/TimelineDocument.h"

namespace timeline {

// The event in force at `frame`: the last one starting at or before it (the last event lasts for
// ever). None for a track without events in use, or before its first event.
std::optional<uint32_t> eventAtFrame(const kelvane::Track& track, uint32_t frame);

// The selection after a click on event `clicked` with `anchor` the current event: Ctrl toggles
// it, Shift toggles the events from the anchor (exclusive) to it, otherwise it becomes the only
// selected event.
TimelineDocument::EventPredicate clickSelection(uint32_t clicked, uint32_t anchor,
                                                Qt::KeyboardModifiers modifiers);

// Only event `index` selected.
TimelineDocument::EventPredicate onlyEvent(uint32_t index);

// The only selected event of the track, or none when no event or several are selected.
std::optional<uint32_t> soleSelected(const kelvane::Track& track);

}  // namespace timeline

#include "ui/timeline/TimelineSelection.h"

#include "ui/timeline/TrackBars.h"

namespace timeline {

using kelvane::kEventSelected;

std::optional<uint32_t> eventAtFrame(const kelvane::Track& track, uint32_t frame) {
    const auto events = track.EventSpan();
    if (events.empty() || (events[0].flags & kelvane::kEventUsed) == 0) {
        return std::nullopt;
    }
    const size_t after = firstStartingAfter(events, frame);
    if (after == 0) {
        return std::nullopt;
    }
    return uint32_t(after - 1);
}

void applyClickSelection(kelvane::Track& track, uint32_t clicked, uint32_t anchor,
                         Qt::KeyboardModifiers modifiers) {
    const auto events = track.EventSpan();
    if (clicked >= events.size()) {
        return;
    }
    if (modifiers & Qt::ControlModifier) {
        events[clicked].flags ^= kEventSelected;
    } else if (modifiers & Qt::ShiftModifier) {
        // Toggles anchor + 1 .. clicked going right, clicked .. anchor - 1 going left.
        const uint32_t from = clicked > anchor ? anchor + 1 : clicked;
        const uint32_t last = clicked > anchor ? clicked : anchor;  // exclusive going left
        const uint32_t end = clicked > anchor ? last + 1 : last;
        for (uint32_t i = from; i < end && i < events.size(); ++i) {
            events[i].flags ^= kEventSelected;
        }
    } else {
        clearSelection(track);
        events[clicked].flags |= kEventSelected;
    }
}

void clearSelection(kelvane::Track& track) {
    for (kelvane::TrackEvent& event : track.EventSpan()) {
        event.flags &= ~uint32_t(kEventSelected);
    }
}

std::optional<uint32_t> soleSelected(const kelvane::Track& track) {
    std::optional<uint32_t> found;
    const auto events = track.EventSpan();
    for (uint32_t i = 0; i < events.size(); ++i) {
        if (events[i].flags & kEventSelected) {
            if (found) {
                return std::nullopt;
            }
            found = i;
        }
    }
    return found;
}

}  // namespace timeline

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

TimelineDocument::EventPredicate clickSelection(uint32_t clicked, uint32_t anchor,
                                                Qt::KeyboardModifiers modifiers) {
    const auto isSelected = [](const kelvane::TrackEvent& event) {
        return (event.flags & kEventSelected) != 0;
    };
    if (modifiers & Qt::ControlModifier) {
        return [=](uint32_t index, const kelvane::TrackEvent& event) {
            return index == clicked ? !isSelected(event) : isSelected(event);
        };
    }
    if (modifiers & Qt::ShiftModifier) {
        // Toggles anchor + 1 .. clicked going right, clicked .. anchor - 1 going left.
        const uint32_t from = clicked > anchor ? anchor + 1 : clicked;
        const uint32_t end = clicked > anchor ? clicked + 1 : anchor;
        return [=](uint32_t index, const kelvane::TrackEvent& event) {
            return (index >= from && index < end) ? !isSelected(event) : isSelected(event);
        };
    }
    return onlyEvent(clicked);
}

TimelineDocument::EventPredicate onlyEvent(uint32_t index) {
    return [index](uint32_t i, const kelvane::TrackEvent&) { return i == index; };
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

#pragma once

#include <algorithm>

#include "ui/timeline/TimelineGeometry.h"

namespace timeline {

template <typename Sink>
void forEachShownEvent(std::span<const kelvane::TrackEvent> events, uint32_t zoom, int64_t left,
                       int64_t right, Sink&& sink) {
    const size_t n = events.size();
    if (n == 0 || (events[0].flags & kelvane::kEventUsed) == 0 || left >= right) {
        return;
    }
    // The event whose bar covers the first column, or the first event when none reaches it.
    size_t i = firstStartingAfter(events, lastStartAtColumn(std::max<int64_t>(left, 0), zoom));
    i = i == 0 ? 0 : i - 1;
    while (i < n) {
        const int64_t column = std::max(frameToX(events[i].start, zoom), left);
        if (column >= right) {
            break;
        }
        // Of all events starting in this column only the last one's bar is wider than nothing.
        const size_t j = lastStartingBy(events, i, lastStartAtColumn(column, zoom));
        const int64_t end =
            j + 1 < n ? std::min(frameToX(events[j + 1].start, zoom), right) : right;
        sink(j, column, end);
        i = j + 1;
    }
}

template <typename Sink>
void forEachBarSpan(std::span<const kelvane::TrackEvent> events, uint32_t zoom, int64_t left,
                    int64_t right, Sink&& sink) {
    forEachBarSpan(events, zoom, left, right, sink, [](size_t, int64_t, int64_t) {});
}

template <typename Sink, typename ShownSink>
void forEachBarSpan(std::span<const kelvane::TrackEvent> events, uint32_t zoom, int64_t left,
                    int64_t right, Sink&& sink, ShownSink&& shown) {
    BarSpan pending{0, 0, false};
    bool havePending = false;
    forEachShownEvent(events, zoom, left, right, [&](size_t j, int64_t column, int64_t end) {
        shown(j, column, end);
        const bool selected = (events[j].flags & kelvane::kEventSelected) != 0;
        if (havePending && pending.selected == selected && pending.right == column) {
            pending.right = end;
        } else {
            if (havePending) {
                sink(pending);
            }
            pending = BarSpan{column, end, selected};
            havePending = true;
        }
    });
    if (havePending) {
        sink(pending);
    }
}

}  // namespace timeline

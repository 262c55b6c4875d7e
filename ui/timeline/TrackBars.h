#pragma once

#include <cstdint>
#include <span>

#include "model/TrackEvent.h"

namespace timeline {

// One run of columns of a track row in one colour, in document x (right exclusive).
struct BarSpan {
    int64_t left;
    int64_t right;
    bool selected;
};

// The coloured spans of a track row between document columns `left` and `right` (exclusive), as
// drawing every event's bar in order would leave them: each event lasts from its start to the
// next event's start, the last one to `right`. Costs one search per column at most, however many
// events share a column when zoomed out, and adjacent spans of one colour come out merged.
// Nothing for a track whose first event is not in use.
template <typename Sink>
void forEachBarSpan(std::span<const kelvane::TrackEvent> events, uint32_t zoom, int64_t left,
                    int64_t right, Sink&& sink);

// Both at once: `shown` hears each event as forEachShownEvent tells it, `sink` the spans.
template <typename Sink, typename ShownSink>
void forEachBarSpan(std::span<const kelvane::TrackEvent> events, uint32_t zoom, int64_t left,
                    int64_t right, Sink&& sink, ShownSink&& shown);

// The same walk one event at a time, before spans of one colour merge: `sink(index, left, right)`
// for each event whose bar shows, with the columns it covers (right exclusive), in order. Of the
// events that start in one column only the last one shows.
template <typename Sink>
void forEachShownEvent(std::span<const kelvane::TrackEvent> events, uint32_t zoom, int64_t left,
                       int64_t right, Sink&& sink);

// The index of the last event starting at or before `limit`, searched from `from` (whose start
// is known to be at or before it) by doubling steps: cheap when the answer is near.
size_t lastStartingBy(std::span<const kelvane::TrackEvent> events, size_t from, uint64_t limit);

// The index of the first event starting after `frame` (events.size() when none does).
size_t firstStartingAfter(std::span<const kelvane::TrackEvent> events, uint64_t frame);

}  // namespace timeline

#include "ui/timeline/TrackBarsImpl.h"

#include "ui/timeline/TrackBars.h"

namespace timeline {

namespace {

constexpr size_t kReadAhead = 16;

}  // namespace

size_t lastStartingBy(std::span<const kelvane::TrackEvent> events, size_t from, uint64_t limit) {
    const size_t n = events.size();
    size_t known = from;  // start <= limit
    // Zoomed out, the walk over a row reads every record, each on a cache line of its own, and
    // waits for memory at each one: the records a few columns on are asked for ahead.
    // A few events per column are walked one by one (the records lie in order in memory); only
    // beyond that do the steps double.
    for (int walked = 0; walked < 8; ++walked) {
        if (known + 1 + kReadAhead < n) {
            __builtin_prefetch(&events[known + 1 + kReadAhead]);
        }
        if (known + 1 >= n || events[known + 1].start > limit) {
            return known;
        }
        ++known;
    }
    size_t step = 1;
    while (known + step < n && events[known + step].start <= limit) {
        known += step;
        step *= 2;
    }
    const auto end = events.begin() + std::min(known + step, n);
    const auto after = std::upper_bound(
        events.begin() + known + 1, end, limit,
        [](uint64_t value, const kelvane::TrackEvent& event) { return value < event.start; });
    return size_t(after - events.begin()) - 1;
}

size_t firstStartingAfter(std::span<const kelvane::TrackEvent> events, uint64_t frame) {
    const auto after = std::upper_bound(
        events.begin(), events.end(), frame,
        [](uint64_t value, const kelvane::TrackEvent& event) { return value < event.start; });
    return size_t(after - events.begin());
}

}  // namespace timeline

#pragma once

#include <cstdint>

#include "model/Project.h"

namespace kelvane {

// Where one event's sound lies in the output and which source sample it plays when: what the
// mixer plays and what the timeline draws, so that the two never disagree. The source time
// follows the source time the event's picture shows (its position, then its step per frame, or
// the straight way to the next event's position while interpolating), continuous between frames.
struct EventSoundMapping {
    int64_t begin = 0;  // the first output sample
    int64_t end = 0;    // one past the last
    // Source sample position at output sample s: origin + (s - anchor) * speed.
    double origin = 0.0;
    double anchor = 0.0;
    double speed = 0.0;
    // Volume at output sample s: volumeFrom + (s - anchor) * volumeSlope.
    double volumeFrom = 1.0;
    double volumeSlope = 0.0;

    double SourceAt(double s) const { return origin + (s - anchor) * speed; }
    double VolumeAt(double s) const { return volumeFrom + (s - anchor) * volumeSlope; }
};

// The mapping of event `i` of `track`, whatever its source: false when the event is never in
// force (unused, at or past the project's end, or followed by another on the same frame). The
// event's own mute is not looked at.
bool MapEventSound(const Project& project, const Track& track, uint32_t i,
                   EventSoundMapping& mapping);

}  // namespace kelvane

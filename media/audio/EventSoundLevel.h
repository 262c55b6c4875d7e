#pragma once

#include <cstdint>

#include "model/Track.h"

namespace kelvane {

// How loud one event sounds: its volume (1 = 100 %) and whether it is muted.
struct EventLevel {
    float volume = 1.0f;
    bool muted = false;
};

inline EventLevel EventSoundLevel(const Track& track, uint32_t index) {
    const EventExtras& extras = track.ExtrasAt(index);
    return EventLevel{extras.volume, (extras.audioFlags & kAudioMuted) != 0};
}

}  // namespace kelvane

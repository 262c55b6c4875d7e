#include "media/audio/EventSoundMapping.h"

#include <algorithm>

#include "media/audio/EventSoundLevel.h"
#include "media/audio/SoundFormat.h"

namespace kelvane {

namespace {

// RefTime to samples: 48,000 / 10,000,000.
constexpr double kSamplesPerRef = double(kSoundRate) / double(kRefTimePerSecond);

}  // namespace

bool MapEventSound(const Project& project, const Track& track, uint32_t i,
                   EventSoundMapping& mapping) {
    const TrackEvent* ev = track.Events();
    if (ev == nullptr || i >= track.Count()) {
        return false;
    }
    const TrackEvent& e = ev[i];
    const uint32_t length = project.settings.length;
    const RefTime fd = project.settings.frameDuration;
    // The record after the last event is the sentinel, whose start is past every frame.
    const TrackEvent& next = ev[i + 1];
    if (!(e.flags & kEventUsed) || e.start >= length || next.start == e.start || fd <= 0) {
        return false;
    }
    mapping = EventSoundMapping{};
    mapping.begin = FrameStartSample(e.start, fd);
    mapping.end = FrameStartSample(std::min<uint32_t>(next.start, length), fd);
    // Time is continuous here: the event's start frame lies at start × fd, in samples.
    mapping.anchor = double(e.start) * double(fd) * kSamplesPerRef;
    mapping.origin = double(e.position) * kSamplesPerRef;
    const bool towardsNext = (e.flags & kEventInterpolate) && i + 1 < track.Count();
    const double spanSamples =
        towardsNext ? double(next.start - e.start) * double(fd) * kSamplesPerRef : 0.0;
    if (towardsNext) {
        // The picture's source time runs straight from this event's position to the next's.
        mapping.speed = double(next.position - e.position) * kSamplesPerRef / spanSamples;
    } else {
        mapping.speed = double(e.step) / double(fd);
    }
    const EventLevel level = EventSoundLevel(track, i);
    mapping.volumeFrom = level.volume;
    if (towardsNext) {
        const EventLevel nextLevel = EventSoundLevel(track, i + 1);
        mapping.volumeSlope = (double(nextLevel.volume) - double(level.volume)) / spanSamples;
    }
    return true;
}

}  // namespace kelvane

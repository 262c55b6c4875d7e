#pragma once

#include <cstdint>
#include <string>

#include "model/TrackEvent.h"

namespace kelvane {

// An output frame as the timeline shows it: "mm:ss.mmm" of frame / rate seconds.
std::u16string FormatFrameTime(uint32_t frame, double frameRate);

// A source time as the event list shows it: "mm:ss.mmm".
std::u16string FormatRefTime(RefTime time);

// A source time to the full resolution, as the event dialog shows it: "mm:ss.fffffff".
std::u16string FormatRefTimePrecise(RefTime time);

// A playback step as a speed factor relative to the project's frame duration: "%.4f".
std::u16string FormatSpeed(RefTime step, RefTime frameDuration);

}  // namespace kelvane

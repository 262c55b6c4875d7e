#pragma once

#include <cstdint>

#include "model/TrackEvent.h"
#include "platform/Path.h"

namespace kelvane {

constexpr uint32_t kMaxProjectLength = 0x100000;  // frames

// The output settings. The values here are those of a project before the defaults are applied.
struct ProjectSettings {
    PathBuffer basePath{};  // tried first for paths that begin with a backslash
    uint32_t width = 0;
    uint32_t height = 0;
    double frameRate = 1.0;  // frames per second
    // Kept beside the rate and derived from it; rounded when the rate is set here, truncated when
    // a project file is read.
    RefTime frameDuration = kRefTimePerSecond;
    uint32_t length = 0;            // frames
    uint32_t background = 0;        // 0x00BBGGRR
    int32_t defaultDrawMethod = 0;  // DrawMethod; 0 = the INI value "PixelQuality"
};

// 10,000,000 / rate + 0.5, truncated; saturated for rates that no dialog lets through.
RefTime RoundedFrameDuration(double frameRate);
// 10,000,000 / rate, truncated, as project files derive it.
RefTime TruncatedFrameDuration(double frameRate);

}  // namespace kelvane

#include "model/TimeFormat.h"

#include <cmath>
#include <cstdio>

namespace kelvane {
namespace {

std::u16string Widen(const char* text) {
    std::u16string out;
    for (; *text != 0; ++text) {
        out.push_back(char16_t(static_cast<unsigned char>(*text)));
    }
    return out;
}

// trunc(value) as the unsigned count that "%u" prints; values no frame or rate can produce
// (negative, non-finite, beyond 64 bits) print as 0 instead of being undefined.
uint64_t WholePart(double value) {
    if (!(value >= 0) || value >= 18446744073709551616.0) {
        return 0;
    }
    return uint64_t(value);
}

std::u16string FormatClock(uint32_t minutes, uint32_t seconds, uint32_t fraction,
                           const char* format) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), format, minutes, seconds, fraction);
    return Widen(buffer);
}

}  // namespace

std::u16string FormatFrameTime(uint32_t frame, double frameRate) {
    const double seconds = double(frame) / frameRate;
    return FormatClock(uint32_t(WholePart(seconds / 60)), uint32_t(WholePart(seconds) % 60),
                       uint32_t(WholePart(seconds * 1000) % 1000), "%02u:%02u.%03u");
}

std::u16string FormatRefTime(RefTime time) {
    return FormatClock(uint32_t(time / 600'000'000), uint32_t((time / kRefTimePerSecond) % 60),
                       uint32_t((time / 10'000) % 1000), "%02u:%02u.%03u");
}

std::u16string FormatRefTimePrecise(RefTime time) {
    return FormatClock(uint32_t(time / 600'000'000), uint32_t((time / kRefTimePerSecond) % 60),
                       uint32_t(time % kRefTimePerSecond), "%02u:%02u.%07u");
}

std::u16string FormatSpeed(RefTime step, RefTime frameDuration) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.4f", double(step) / double(frameDuration));
    return Widen(buffer);
}

}  // namespace kelvane

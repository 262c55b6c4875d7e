#include "export/playback/PlaybackTiming.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kelvane {
namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;

}  // namespace

PlaybackClock SteadyPlaybackClock() {
    return [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
}

ExactRate ExactRateOf(double frameRate) {
    if (!std::isfinite(frameRate) || frameRate <= 0 || frameRate > 1e6) {
        return {};
    }
    // 29.97 * 1.001 = 29.99997: within a thousandth of a whole rate that is not itself the rate.
    const double ntsc = frameRate * 1.001;
    const double whole = std::round(ntsc);
    if (whole >= 1 && std::abs(ntsc - whole) < 1e-3 && std::abs(frameRate - whole) > 1e-3) {
        return ExactRate{int64_t(whole) * 1000, 1001};
    }
    int64_t numerator = std::max<int64_t>(1, std::llround(frameRate * 10000.0));
    int64_t denominator = 10000;
    const int64_t divisor = std::gcd(numerator, denominator);
    numerator /= divisor;
    denominator /= divisor;
    return ExactRate{numerator, denominator};
}

std::chrono::nanoseconds FrameDueOffset(uint64_t k, ExactRate rate) {
    const __int128 ns = __int128(k) * rate.denominator * kNanosPerSecond / rate.numerator;
    return std::chrono::nanoseconds(int64_t(ns));
}

uint64_t FrameAt(std::chrono::nanoseconds elapsed, ExactRate rate) {
    if (elapsed.count() <= 0) {
        return 0;
    }
    // floor(elapsed * num / (den * 1e9)) is the largest k whose floored due time is not later.
    const __int128 k =
        __int128(elapsed.count()) * rate.numerator / (__int128(rate.denominator) * kNanosPerSecond);
    uint64_t frame = uint64_t(k);
    // Due times are rounded down, so the next frame may already be due by a fraction of a
    // nanosecond's rounding.
    while (FrameDueOffset(frame + 1, rate) <= elapsed) {
        ++frame;
    }
    return frame;
}

uint32_t PlaybackRange::FrameOf(uint64_t k) const {
    if (!loop) {
        return uint32_t(std::min<uint64_t>(uint64_t(start) + k, last));
    }
    const uint64_t span = uint64_t(last) - first + 1;
    return uint32_t(first + (uint64_t(start) - first + k) % span);
}

bool PlaybackRangeFor(uint32_t length, uint32_t cursor, uint32_t selectionStart,
                      uint32_t selectionEnd, PlaybackRange& range) {
    if (length == 0) {
        return false;
    }
    const uint32_t lastFrame = length - 1;
    const uint32_t low = std::min(selectionStart, selectionEnd);
    const uint32_t high = std::max(selectionStart, selectionEnd);
    if (low != high && low <= lastFrame) {
        range.first = low;
        range.last = std::min(high - 1, lastFrame);
        range.start = cursor >= range.first && cursor <= range.last ? cursor : range.first;
        range.loop = true;
        return true;
    }
    range.first = 0;
    range.last = lastFrame;
    range.start = cursor < lastFrame ? cursor : 0;
    range.loop = false;
    return true;
}

}  // namespace kelvane

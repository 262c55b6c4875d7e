#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace kelvane {

// A monotonic clock, as nanoseconds from any fixed origin. Playback reads it on the composing
// thread and on the UI thread, so an injected clock must be safe to read from both.
using PlaybackClock = std::function<std::chrono::nanoseconds()>;

// The steady clock of the machine.
PlaybackClock SteadyPlaybackClock();

// A project's rate as an exact fraction: frames = seconds * numerator / denominator.
struct ExactRate {
    int64_t numerator = 30;
    int64_t denominator = 1;
};

// The rate the user meant by the project's decimal rate. The NTSC rates, written as 23.976,
// 29.97, 59.94 and so on, are N * 1000 / 1001 frames per second; any other rate is taken to four
// decimals, as an export records it. Nonsense (not finite, not positive) gives 30.
ExactRate ExactRateOf(double frameRate);

// When frame k of a stream is due, counted from the stream's first frame: k / rate seconds,
// rounded down to the nanosecond. Exact for every k, so a long playback never drifts.
std::chrono::nanoseconds FrameDueOffset(uint64_t k, ExactRate rate);

// The frame of a stream whose display period holds `elapsed` (0 before the first frame is due):
// the largest k with FrameDueOffset(k) <= elapsed.
uint64_t FrameAt(std::chrono::nanoseconds elapsed, ExactRate rate);

// Which output frames a playback shows: from `start` on, to `last`; with `loop`, the frames
// `first` to `last` again and again.
struct PlaybackRange {
    uint32_t first = 0;
    uint32_t last = 0;
    uint32_t start = 0;
    bool loop = false;

    // The output frame shown as the stream's frame k; for a range that does not loop, only
    // while k <= LastIndex().
    uint32_t FrameOf(uint64_t k) const;
    // The stream's last frame of a range that does not loop.
    uint64_t LastIndex() const { return last - start; }
};

// The range to play for a project of `length` frames, the timeline's cursor and its selection
// (frames selectionStart to selectionEnd - 1; none when the two are equal). Without a selection
// it runs from the cursor to the last frame, or from frame 0 when the cursor stands on the last
// frame or past it (where a playback that ran to the end left it); with one it loops over the
// selection, starting at the cursor when the cursor lies in it. False for a project without frames.
bool PlaybackRangeFor(uint32_t length, uint32_t cursor, uint32_t selectionStart,
                      uint32_t selectionEnd, PlaybackRange& range);

}  // namespace kelvane

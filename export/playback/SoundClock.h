#pragma once

#include <chrono>
#include <mutex>
#include <optional>

#include "export/playback/PlaybackTiming.h"

namespace kelvane {

// The time of a playback stream as the listener hears it, for a stream whose sound plays on a
// device: the sound is the master, and the pictures are due by it. The device side reports now
// and then which stream time is being heard (its latency already taken off); between reports the
// time runs on the machine's clock from the last one, so that the pictures move smoothly. A report
// that disagrees with that (the device runs slower or faster than the machine, or it skipped) is
// taken as the truth at once, except that the time never runs backwards: it waits for the sound
// to catch up instead. Before the first report the stream stands at 0, which is what the
// pictures' first frame is due at. Once the device is lost the time runs on from where it stands
// on the machine's clock alone.
//
// Read from any thread; reported from one.
class SoundClock {
  public:
    explicit SoundClock(PlaybackClock steady = {});

    void Heard(std::chrono::nanoseconds streamTime);
    void Lose();
    bool Lost() const;

    std::chrono::nanoseconds Now() const;
    // Now() as a playback clock; valid while this object lives.
    PlaybackClock AsPlaybackClock() const {
        return [this] { return Now(); };
    }

  private:
    struct Anchor {
        std::chrono::nanoseconds stream{};
        std::chrono::nanoseconds steady{};
    };

    PlaybackClock steady_;
    mutable std::mutex lock_;
    std::optional<Anchor> anchor_;
    mutable std::chrono::nanoseconds latest_{};  // the latest time given out
    bool lost_ = false;
};

}  // namespace kelvane

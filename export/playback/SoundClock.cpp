#include "export/playback/SoundClock.h"

#include <algorithm>

namespace kelvane {

SoundClock::SoundClock(PlaybackClock steady) : steady_(std::move(steady)) {
    if (!steady_) {
        steady_ = SteadyPlaybackClock();
    }
}

void SoundClock::Heard(std::chrono::nanoseconds streamTime) {
    const std::chrono::nanoseconds now = steady_();
    std::lock_guard guard(lock_);
    if (lost_) {
        return;
    }
    anchor_ = Anchor{streamTime, now};
}

void SoundClock::Lose() {
    const std::chrono::nanoseconds now = steady_();
    std::lock_guard guard(lock_);
    if (lost_) {
        return;
    }
    lost_ = true;
    // Runs on from the time last given out, so that no picture shown is due again.
    const std::chrono::nanoseconds at =
        anchor_ ? std::max(latest_, anchor_->stream + (now - anchor_->steady)) : latest_;
    anchor_ = Anchor{at, now};
}

bool SoundClock::Lost() const {
    std::lock_guard guard(lock_);
    return lost_;
}

std::chrono::nanoseconds SoundClock::Now() const {
    const std::chrono::nanoseconds now = steady_();
    std::lock_guard guard(lock_);
    if (!anchor_) {
        return latest_;
    }
    const std::chrono::nanoseconds t = anchor_->stream + (now - anchor_->steady);
    latest_ = std::max(latest_, t);
    return latest_;
}

}  // namespace kelvane

#include "media/SampleSlot.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "settings/AppSettings.h"

namespace kelvane {

namespace {

constexpr uint32_t kInfinite = 0xFFFFFFFFu;
// How often a waiting streaming thread looks whether it has to leave.
constexpr uint32_t kPollMs = 5;

enum class PollResult { Signalled, Left, TimedOut };

// A streaming-side wait of at most `milliseconds` that ends early once `leave` is true, so that a
// stop or a flush never has to wait out a whole "CallbackTimeout".
PollResult PollWait(Event& event, uint32_t milliseconds, const std::function<bool()>& leave) {
    using Clock = std::chrono::steady_clock;
    const bool infinite = milliseconds == kInfinite;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        uint32_t slice = kPollMs;
        if (!infinite) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return event.WaitFor(0) ? PollResult::Signalled : PollResult::TimedOut;
            slice = uint32_t(std::min<int64_t>(left.count(), kPollMs));
        }
        if (event.WaitFor(slice))
            return PollResult::Signalled;
        if (leave())
            return PollResult::Left;
    }
}

}  // namespace

bool WaitEventFor(Event& event, uint32_t milliseconds) {
    if (milliseconds == kInfinite) {
        event.Wait();
        return true;
    }
    return event.WaitFor(milliseconds);
}

uint32_t CallbackTimeoutMs() {
    return uint32_t(Settings().callbackTimeout);
}
uint32_t AbortTimeoutMs() {
    return uint32_t(Settings().abortTimeout);
}

SampleSlot::SampleSlot() = default;

SampleSlot::~SampleSlot() {
    held_.reset();
}

void SampleSlot::SetFrameMode(bool frameMode, RefTime frameDuration) {
    frameMode_ = frameMode;
    frameDuration_ = frameDuration > 0 ? frameDuration : 1;
}

int64_t SampleSlot::PositionOf(const MediaSample& sample) const {
    RefTime start;
    if (!sample.GetTime(start))
        start = sample.MediaTime();
    int64_t position;
    if (frameMode_) {
        // Nearest frame, halves away from zero.
        const RefTime d = frameDuration_;
        position = (start >= 0 ? start + d / 2 : start - d / 2) / d + positionOffset_;
    } else {
        position = start + positionOffset_;
    }
    return std::max<int64_t>(position, 0);
}

void SampleSlot::Offer(const SamplePtr& sample, std::mutex& filterLock,
                       const std::function<bool()>& released) {
    if (stopped_.load())
        return;
    SamplePtr reference = sample;
    auto leave = [&] { return stopped_.load() || released(); };
    const uint32_t timeout = CallbackTimeoutMs();
    // Repeated waits: the reader may take long over a frame; only a stop or a flush ends them.
    for (;;) {
        const PollResult r = PollWait(readyEvent_, timeout, leave);
        if (r == PollResult::Signalled)
            break;
        if (leave())
            return;
    }
    if (leave())
        return;

    std::lock_guard<std::mutex> filter(filterLock);
    if (PollWait(slotLock_, timeout, leave) != PollResult::Signalled)
        return;
    // A stop that came between the ready wait and the lock wins: the sample belongs to the old
    // position.
    if (leave()) {
        slotLock_.Set();
        return;
    }
    readyEvent_.Clear();
    sampleEvent_.Clear();
    heldPosition_ = PositionOf(*reference);
    held_ = std::move(reference);
    readyEvent_.Clear();
    sampleEvent_.Set();
    slotLock_.Set();
}

void SampleSlot::Empty(bool stop) {
    readyEvent_.Clear();
    sampleEvent_.Clear();
    held_.reset();
    heldPosition_ = kEmpty;
    stopped_.store(stop);
    readyEvent_.Set();
    if (stop) {
        readyEvent_.Clear();
        sampleEvent_.Set();
    }
}

void SampleSlot::Reopen() {
    if (!WaitEventFor(slotLock_, CallbackTimeoutMs()))
        return;
    Empty(false);
    slotLock_.Set();
}

void SampleSlot::Stop() {
    if (!WaitEventFor(slotLock_, CallbackTimeoutMs())) {
        // The flag alone still turns the streaming thread away.
        stopped_.store(true);
        return;
    }
    Empty(true);
    slotLock_.Set();
}

bool SampleSlot::Copy(uint8_t* destination, size_t size) {
    if (!WaitEventFor(slotLock_, CallbackTimeoutMs()))
        return false;
    const bool ok =
        held_ && destination && held_->Size() >= size && held_->CopyTo(destination, size);
    slotLock_.Set();
    return ok;
}

bool SampleSlot::Peek(int64_t& position) {
    if (!WaitEventFor(slotLock_, CallbackTimeoutMs()))
        return false;
    const bool held = held_ != nullptr;
    position = heldPosition_;
    slotLock_.Set();
    return held;
}

}  // namespace kelvane

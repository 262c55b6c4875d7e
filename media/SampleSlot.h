#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>

#include "media/pipeline/MediaSample.h"
#include "model/TrackEvent.h"
#include "platform/Event.h"

namespace kelvane {

// Waits for an event; the all-ones time limit (a negative setting read unsigned) waits for ever.
bool WaitEventFor(Event& event, uint32_t milliseconds);
// "CallbackTimeout" and "AbortTimeout" as the unsigned time limits they are used as.
uint32_t CallbackTimeoutMs();
uint32_t AbortTimeoutMs();

// The one-sample hand-over between the streaming thread and the movie reader. The held sample, its
// position and the position offset are touched only while holding SlotLock. ReadyEvent throttles
// the pipeline to one decoded sample at a time; SampleEvent tells the reader that a sample or a
// stop is there; the stop flag makes the slot refuse samples and pulls a blocked streaming thread
// out, so that a seek or a close never waits on it.
class SampleSlot {
  public:
    static constexpr int64_t kEmpty = std::numeric_limits<int64_t>::min();

    SampleSlot();
    ~SampleSlot();
    SampleSlot(const SampleSlot&) = delete;
    SampleSlot& operator=(const SampleSlot&) = delete;

    Event& SlotLock() { return slotLock_; }
    Event& ReadyEvent() { return readyEvent_; }
    Event& SampleEvent() { return sampleEvent_; }

    // Positions are frame numbers (rounded from the sample time by the frame duration) or media
    // time. Set before the pipeline runs.
    void SetFrameMode(bool frameMode, RefTime frameDuration);

    // Streaming side: holds the sample once the reader is ready, or drops it when the slot is
    // stopped, `released` says the thread must leave, or a wait runs out. Never fails the stream.
    void Offer(const SamplePtr& sample, std::mutex& filterLock,
               const std::function<bool()>& released);

    // Reader side, each under SlotLock waited for "CallbackTimeout".
    // Releases the held sample and lets the next one in; a timeout skips it.
    void Reopen();
    // Releases the held sample, refuses further ones and wakes both sides.
    void Stop();
    // Copies the first `size` bytes of the held sample's rows (converting a decoded picture) when
    // it has at least that many.
    bool Copy(uint8_t* destination, size_t size);
    // True when a sample is held; its position in `position`.
    bool Peek(int64_t& position);

    // For the reader's seek, which holds SlotLock itself.
    void SetPositionOffsetLocked(int64_t offset) { positionOffset_ = offset; }

    bool Stopped() const { return stopped_.load(); }

  private:
    void Empty(bool stop);
    int64_t PositionOf(const MediaSample& sample) const;

    Event slotLock_{Event::Reset::Auto, true};
    Event readyEvent_{Event::Reset::Manual, true};
    Event sampleEvent_{Event::Reset::Manual, false};
    SamplePtr held_;
    int64_t heldPosition_ = kEmpty;
    int64_t positionOffset_ = 0;
    bool frameMode_ = false;
    RefTime frameDuration_ = 1;
    std::atomic<bool> stopped_{false};
};

}  // namespace kelvane

#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "export/playback/PlaybackTiming.h"
#include "model/Project.h"

namespace kelvane {

// The sound of a playback stream, as 48 kHz stereo float samples that a device takes one after
// another from the stream's start. Stream sample p sounds at stream time p / 48,000 s, the time at
// which the pictures of the same stream are due, so a device that plays the samples without gaps
// keeps sound and picture together. Within one pass over the range the samples are the project's
// output samples one after another; where a looping range starts again (at the sample of the
// stream time its first frame is due again, so that no loop drifts from the pictures) the sound
// moves back to the range's first frame, cross-faded over 5 ms with the sound that would have
// followed, so that a loop neither clicks nor leaves a gap.
//
// A thread of its own mixes the samples a little ahead of the device; what it has not mixed in
// time is given as silence, and it moves on to what is due rather than falling further behind.
class PlaybackSound {
  public:
    // Output samples [s0, s1) into out, overwritten: the project's mix, or a test's.
    using Mixer = std::function<void(int64_t s0, int64_t s1, float* out)>;

    // The samples mixed ahead of the device, at most.
    static constexpr int64_t kAheadSamples = 24'000;
    // The fade that ends the sound at a stop: 10 ms.
    static constexpr int64_t kStopFadeSamples = 480;

    // `project` must outlive this object and stay unchanged; it is only read (events and loaded
    // sounds), so the playback engine's own copy may be shared. `frameDuration` is the project's.
    PlaybackSound(const Project& project, PlaybackRange range, ExactRate rate);
    PlaybackSound(Mixer mixer, RefTime frameDuration, PlaybackRange range, ExactRate rate);
    ~PlaybackSound();
    PlaybackSound(const PlaybackSound&) = delete;
    PlaybackSound& operator=(const PlaybackSound&) = delete;

    // The next n stereo samples of the stream (2n floats). Never waits for the mixing thread.
    void Read(float* out, int64_t n);
    // Waits until the stream is mixed up to `position` (at most as far as the thread mixes
    // ahead), or `limit` has passed: false then. For a start, so that the first samples handed
    // to a device are the sound and not the silence of a mix that had no time yet.
    bool WaitMixed(int64_t position, std::chrono::milliseconds limit);
    // How many samples Read has given.
    int64_t ReadPosition() const;
    // The stream samples before this one are mixed (those not read yet wait in the ring).
    int64_t MixedPosition() const;
    // The sound fades out over the next kStopFadeSamples read and is silent after. Nothing more is
    // mixed: once this returns, the project may go.
    void FadeOut();
    // Whether the fade has been read to its end.
    bool FadedOut() const;

    // Stream samples [p0, p0 + n) as the mixing thread makes them; for tests and for the thread.
    void MixStream(int64_t p0, int64_t n, float* out) const;

  private:
    // One pass over the range: from stream sample `stream` on, the output samples from `output`.
    struct Lap {
        int64_t index = 0;
        int64_t stream = 0;
        int64_t output = 0;
    };
    Lap LapAt(int64_t p) const;
    Lap LapNumber(int64_t j) const;
    int64_t StreamSampleOfFrame(uint64_t k) const;
    void Run();
    void StopMixing();

    Mixer mixer_;
    RefTime frameDuration_;
    PlaybackRange range_;
    ExactRate rate_;

    mutable std::mutex lock_;
    std::condition_variable room_;
    std::condition_variable mixedMore_;
    std::vector<float> ring_;  // kAheadSamples stereo pairs, indexed by stream sample modulo
    int64_t read_ = 0;         // the next sample Read gives
    int64_t mixed_ = 0;        // samples before this one are in the ring (those not yet read)
    int64_t fadeFrom_ = -1;    // where the stop's fade began; -1 before a stop
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace kelvane

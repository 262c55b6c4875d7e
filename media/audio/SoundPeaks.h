#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace kelvane {

class SoundClip;

// How loud a sound is where, for drawing it: the lowest and the highest value of both channels
// per 256 samples, and coarser levels above that (each of four of the level below), so that the
// peaks of any stretch of the sound are found in a few dozen reads however long it is. Made once
// per sound and immutable after.
class SoundPeaks {
  public:
    static constexpr int64_t kBucketSamples = 256;
    static constexpr int64_t kFanOut = 4;

    struct Peak {
        float low = 0.0f;
        float high = 0.0f;
    };

    // The peaks of a clip. Null when `cancel` became true meanwhile (checked now and then).
    static std::shared_ptr<const SoundPeaks> Summarise(const SoundClip& clip,
                                                       const std::atomic<bool>* cancel = nullptr);

    // The lowest and highest value of samples [first, last) (per channel), widened to whole
    // buckets of 256; silence (0, 0) where the range lies outside the sound.
    Peak Over(int64_t first, int64_t last) const;

    int64_t Length() const { return length_; }
    // The finest level, one peak per 256 samples.
    const std::vector<Peak>& Buckets() const { return levels_.front(); }

  private:
    int64_t length_ = 0;
    std::vector<std::vector<Peak>> levels_;
};

}  // namespace kelvane

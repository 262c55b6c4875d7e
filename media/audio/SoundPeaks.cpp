#include "media/audio/SoundPeaks.h"

#include <algorithm>

#include "media/audio/SoundClip.h"
#include "media/audio/SoundFormat.h"

namespace kelvane {

namespace {

// Buckets between two looks at the cancel flag: about 1.4 s of sound.
constexpr size_t kCancelStride = 256;

void Widen(SoundPeaks::Peak& into, const SoundPeaks::Peak& peak) {
    into.low = std::min(into.low, peak.low);
    into.high = std::max(into.high, peak.high);
}

}  // namespace

std::shared_ptr<const SoundPeaks> SoundPeaks::Summarise(const SoundClip& clip,
                                                        const std::atomic<bool>* cancel) {
    auto peaks = std::make_shared<SoundPeaks>();
    peaks->length_ = clip.Length();
    const size_t buckets = size_t((peaks->length_ + kBucketSamples - 1) / kBucketSamples);
    std::vector<Peak> finest(buckets);
    const float* data = clip.Data();
    for (size_t b = 0; b < buckets; ++b) {
        if (cancel != nullptr && b % kCancelStride == 0 && cancel->load()) {
            return nullptr;
        }
        const int64_t first = int64_t(b) * kBucketSamples;
        const int64_t last = std::min(first + kBucketSamples, peaks->length_);
        const auto [low, high] =
            std::minmax_element(data + first * kSoundChannels, data + last * kSoundChannels);
        finest[b] = Peak{*low, *high};
    }
    peaks->levels_.push_back(std::move(finest));
    while (peaks->levels_.back().size() > 1) {
        const std::vector<Peak>& below = peaks->levels_.back();
        std::vector<Peak> level((below.size() + kFanOut - 1) / kFanOut);
        for (size_t i = 0; i < below.size(); ++i) {
            Peak& group = level[i / kFanOut];
            if (i % kFanOut == 0) {
                group = below[i];
            } else {
                Widen(group, below[i]);
            }
        }
        peaks->levels_.push_back(std::move(level));
    }
    return peaks;
}

SoundPeaks::Peak SoundPeaks::Over(int64_t first, int64_t last) const {
    // Outside the sound lies silence.
    const bool beyond = first < 0 || last > length_;
    first = std::max<int64_t>(first, 0);
    last = std::min(last, length_);
    if (first >= last) {
        return Peak{};
    }
    Peak result{};
    bool any = beyond;
    const auto take = [&](const Peak& peak) {
        if (any) {
            Widen(result, peak);
        } else {
            result = peak;
            any = true;
        }
    };
    // Whole groups of four go up a level; what sticks out at either end is read where it is.
    size_t b0 = size_t(first / kBucketSamples);
    size_t b1 = size_t((last + kBucketSamples - 1) / kBucketSamples);
    for (size_t k = 0; k < levels_.size(); ++k) {
        const std::vector<Peak>& level = levels_[k];
        if (k + 1 == levels_.size() || b1 - b0 <= size_t(2 * kFanOut)) {
            for (size_t b = b0; b < b1; ++b) {
                take(level[b]);
            }
            break;
        }
        for (; b0 < b1 && b0 % kFanOut != 0; ++b0) {
            take(level[b0]);
        }
        for (; b1 > b0 && b1 % kFanOut != 0; --b1) {
            take(level[b1 - 1]);
        }
        b0 /= kFanOut;
        b1 /= kFanOut;
    }
    return result;
}

}  // namespace kelvane

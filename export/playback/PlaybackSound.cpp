#include "export/playback/PlaybackSound.h"

#include <algorithm>

#include "media/audio/SoundFormat.h"
#include "media/audio/SoundMixer.h"

namespace kelvane {

namespace {

// Mixed at one go by the thread: about 21 ms.
constexpr int64_t kBlock = 1024;

}  // namespace

PlaybackSound::PlaybackSound(const Project& project, PlaybackRange range, ExactRate rate)
    : PlaybackSound(
          [&project](int64_t s0, int64_t s1, float* out) { MixProjectSound(project, s0, s1, out); },
          project.settings.frameDuration, range, rate) {}

PlaybackSound::PlaybackSound(Mixer mixer, RefTime frameDuration, PlaybackRange range,
                             ExactRate rate)
    : mixer_(std::move(mixer)),
      frameDuration_(frameDuration),
      range_(range),
      rate_(rate),
      ring_(size_t(kAheadSamples) * kSoundChannels, 0.0f) {
    worker_ = std::thread([this] { Run(); });
}

PlaybackSound::~PlaybackSound() {
    StopMixing();
}

void PlaybackSound::StopMixing() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    room_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

int64_t PlaybackSound::StreamSampleOfFrame(uint64_t k) const {
    // The first sample at or after the frame's due time: ns × 48,000 / 10^9, rounded up.
    const __int128 ns = FrameDueOffset(k, rate_).count();
    return int64_t((ns * 6 + 124'999) / 125'000);
}

PlaybackSound::Lap PlaybackSound::LapNumber(int64_t j) const {
    if (j == 0) {
        return Lap{0, 0, FrameStartSample(range_.start, frameDuration_)};
    }
    const uint64_t length = uint64_t(range_.last - range_.first) + 1;
    const uint64_t k = uint64_t(range_.last - range_.start) + 1 + uint64_t(j - 1) * length;
    return Lap{j, StreamSampleOfFrame(k), FrameStartSample(range_.first, frameDuration_)};
}

PlaybackSound::Lap PlaybackSound::LapAt(int64_t p) const {
    if (!range_.loop) {
        return LapNumber(0);
    }
    // A guess from the frame playing at that time, then corrected for rounding at the seams.
    const uint64_t k = FrameAt(std::chrono::nanoseconds(int64_t(__int128(p) * 125'000 / 6)), rate_);
    const uint64_t first = uint64_t(range_.last - range_.start) + 1;
    const uint64_t length = uint64_t(range_.last - range_.first) + 1;
    int64_t j = k < first ? 0 : int64_t(1 + (k - first) / length);
    while (j > 0 && LapNumber(j).stream > p) {
        --j;
    }
    while (LapNumber(j + 1).stream <= p) {
        ++j;
    }
    return LapNumber(j);
}

void PlaybackSound::MixStream(int64_t p0, int64_t n, float* out) const {
    std::vector<float> faded;
    for (int64_t p = p0; p < p0 + n;) {
        const Lap lap = LapAt(p);
        int64_t end = p0 + n;
        if (range_.loop) {
            end = std::min(end, LapNumber(lap.index + 1).stream);
        }
        float* o = out + (p - p0) * kSoundChannels;
        mixer_(lap.output + (p - lap.stream), lap.output + (end - lap.stream), o);
        if (lap.index > 0 && p < lap.stream + kSoundFadeSamples) {
            // The sound the last pass would have gone on with fades out under the new pass.
            const int64_t fadeEnd = std::min(end, lap.stream + kSoundFadeSamples);
            const Lap before = LapNumber(lap.index - 1);
            faded.resize(size_t(fadeEnd - p) * kSoundChannels);
            mixer_(before.output + (p - before.stream), before.output + (fadeEnd - before.stream),
                   faded.data());
            for (int64_t q = p; q < fadeEnd; ++q) {
                const double in = (double(q - lap.stream) + 0.5) / kSoundFadeSamples;
                for (int c = 0; c < kSoundChannels; ++c) {
                    float& s = o[(q - p) * kSoundChannels + c];
                    s = float(double(s) * in +
                              double(faded[size_t(q - p) * kSoundChannels + c]) * (1.0 - in));
                }
            }
        }
        p = end;
    }
}

void PlaybackSound::Run() {
    std::vector<float> block(size_t(kBlock) * kSoundChannels);
    for (;;) {
        int64_t from = 0;
        {
            std::unique_lock guard(lock_);
            room_.wait(guard, [this] {
                return stop_ || std::max(mixed_, read_) + kBlock <= read_ + kAheadSamples;
            });
            if (stop_) {
                return;
            }
            from = std::max(mixed_, read_);
        }
        MixStream(from, kBlock, block.data());
        std::lock_guard guard(lock_);
        for (int64_t q = std::max(from, read_); q < from + kBlock; ++q) {
            const size_t slot = size_t(q % kAheadSamples) * kSoundChannels;
            const size_t source = size_t(q - from) * kSoundChannels;
            std::copy_n(&block[source], kSoundChannels, &ring_[slot]);
        }
        mixed_ = from + kBlock;
        mixedMore_.notify_all();
    }
}

bool PlaybackSound::WaitMixed(int64_t position, std::chrono::milliseconds limit) {
    std::unique_lock guard(lock_);
    // The thread stops a block short of the ring's end.
    const int64_t target = std::min(position, read_ + kAheadSamples - kBlock);
    return mixedMore_.wait_for(guard, limit, [&] { return mixed_ >= target || stop_; }) &&
           mixed_ >= target;
}

void PlaybackSound::Read(float* out, int64_t n) {
    {
        std::lock_guard guard(lock_);
        for (int64_t i = 0; i < n; ++i) {
            const int64_t q = read_ + i;
            double gain = 1.0;
            if (fadeFrom_ >= 0) {
                gain = std::max(0.0, 1.0 - double(q - fadeFrom_ + 1) / kStopFadeSamples);
            }
            for (int c = 0; c < kSoundChannels; ++c) {
                const float s =
                    q < mixed_ ? ring_[size_t(q % kAheadSamples) * kSoundChannels + c] : 0.0f;
                out[i * kSoundChannels + c] = float(double(s) * gain);
            }
        }
        read_ += n;
    }
    room_.notify_one();
}

int64_t PlaybackSound::ReadPosition() const {
    std::lock_guard guard(lock_);
    return read_;
}

int64_t PlaybackSound::MixedPosition() const {
    std::lock_guard guard(lock_);
    return mixed_;
}

void PlaybackSound::FadeOut() {
    {
        std::lock_guard guard(lock_);
        if (fadeFrom_ < 0) {
            fadeFrom_ = read_;
        }
    }
    StopMixing();
}

bool PlaybackSound::FadedOut() const {
    std::lock_guard guard(lock_);
    return fadeFrom_ >= 0 && read_ >= fadeFrom_ + kStopFadeSamples;
}

}  // namespace kelvane

// The sound of a playback: the clock that the heard sound drives (it follows the device, jumps
// and drifts with it, never runs back, and runs on alone when the device is lost), the stream's
// samples against the project's output samples (a loop returns to its first frame on the
// pictures' time, cross-faded), the mixing thread that never makes the device wait, and the
// fade of a stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "export/playback/PlaybackSound.h"
#include "export/playback/SoundClock.h"
#include "media/audio/SoundFormat.h"

namespace kelvane {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

struct FakeSteady {
    std::atomic<int64_t> ns{1'000'000'000};
    PlaybackClock Clock() {
        return [this] { return nanoseconds(ns.load()); };
    }
    void Advance(milliseconds d) { ns += nanoseconds(d).count(); }
};

TEST(SoundClock, FollowsTheSoundHeardJumpsAndDriftsWithItAndNeverRunsBack) {
    FakeSteady steady;
    SoundClock clock(steady.Clock());
    // Before the device plays, the stream stands at its start.
    steady.Advance(milliseconds(70));
    EXPECT_EQ(clock.Now(), nanoseconds(0));

    clock.Heard(milliseconds(0));
    steady.Advance(milliseconds(15));
    EXPECT_EQ(clock.Now(), milliseconds(15));  // runs between reports
    // The device runs 1 % slow: its reports win over the machine's clock.
    for (int i = 1; i <= 100; ++i) {
        steady.Advance(milliseconds(10));
        clock.Heard(nanoseconds(milliseconds(i * 10)) * 99 / 100);
    }
    EXPECT_EQ(clock.Now(), milliseconds(990));
    // A jump forward (the device skipped) is taken at once.
    clock.Heard(milliseconds(1500));
    EXPECT_EQ(clock.Now(), milliseconds(1500));
    // A report behind what was given out holds the time until the sound catches up.
    clock.Heard(milliseconds(1400));
    EXPECT_EQ(clock.Now(), milliseconds(1500));
    steady.Advance(milliseconds(60));
    EXPECT_EQ(clock.Now(), milliseconds(1500));
    steady.Advance(milliseconds(50));
    EXPECT_EQ(clock.Now(), milliseconds(1510));

    // Lost: on from there by the machine's clock; later reports change nothing.
    clock.Lose();
    EXPECT_TRUE(clock.Lost());
    clock.Heard(milliseconds(100));
    steady.Advance(milliseconds(40));
    EXPECT_EQ(clock.Now(), milliseconds(1550));
}

TEST(SoundClock, LostBeforeAnySoundRunsFromTheStart) {
    FakeSteady steady;
    SoundClock clock(steady.Clock());
    steady.Advance(milliseconds(30));
    clock.Lose();
    steady.Advance(milliseconds(25));
    EXPECT_EQ(clock.Now(), milliseconds(25));
}

// 25 frames a second: 1,920 samples a frame, 400,000 units of 100 ns.
constexpr RefTime kFrame25 = 400'000;

// Each output sample's number, in both channels: the stream shows where it reads.
void Positions(int64_t s0, int64_t s1, float* out) {
    for (int64_t s = s0; s < s1; ++s) {
        out[(s - s0) * 2] = out[(s - s0) * 2 + 1] = float(s);
    }
}

std::vector<float> Stream(const PlaybackSound& sound, int64_t p0, int64_t n) {
    std::vector<float> out(size_t(n) * 2);
    sound.MixStream(p0, n, out.data());
    return out;
}

TEST(PlaybackSound, StreamSamplesAreTheOutputSamplesFromTheStartFrame) {
    PlaybackRange range{0, 99, 10, false};
    PlaybackSound sound(Positions, kFrame25, range, ExactRate{25, 1});
    const std::vector<float> s = Stream(sound, 0, 5000);
    for (int64_t p = 0; p < 5000; ++p) {
        ASSERT_EQ(s[p * 2], float(10 * 1920 + p)) << p;
    }
}

TEST(PlaybackSound, LoopReturnsOnThePicturesTimeCrossFadedWithoutGapOrDrift) {
    // Frames 2..5, starting at 3; at 30000/1001 a frame is 1,601.6 samples, so a loop that
    // counted whole frames of samples would drift from the pictures.
    const ExactRate ntsc{30000, 1001};
    const RefTime frame = 333'667;
    PlaybackRange range{2, 5, 3, true};
    PlaybackSound sound(Positions, frame, range, ntsc);
    const int64_t first = FrameStartSample(2, frame);
    for (int lap = 1; lap <= 400; lap += 57) {
        const uint64_t k = 3 + uint64_t(lap - 1) * 4;
        const int64_t seam = (FrameDueOffset(k, ntsc).count() * 6 + 124'999) / 125'000;
        const std::vector<float> s = Stream(sound, seam - 2, kSoundFadeSamples + 4);
        // The last pass runs on to the seam.
        EXPECT_EQ(s[0], s[2] - 1.0f) << lap;
        // After the fade: the range's first frame, sample for sample on from the seam.
        EXPECT_EQ(s[size_t(kSoundFadeSamples + 2) * 2], float(first + kSoundFadeSamples)) << lap;
        // Inside it both passes, weighed from the old to the new.
        const float mid = s[size_t(2 + kSoundFadeSamples / 2) * 2];
        EXPECT_GT(mid, float(first));
        EXPECT_LT(mid, s[0] + kSoundFadeSamples);
    }
}

TEST(PlaybackSound, LoopOfATonePlaysOnWithoutAClick) {
    const auto tone = [](int64_t s0, int64_t s1, float* out) {
        for (int64_t s = s0; s < s1; ++s) {
            out[(s - s0) * 2] = out[(s - s0) * 2 + 1] =
                float(std::sin(double(s) * 2.0 * M_PI * 440.0 / kSoundRate));
        }
    };
    PlaybackSound sound(tone, kFrame25, PlaybackRange{0, 6, 0, true}, ExactRate{25, 1});
    const std::vector<float> s = Stream(sound, 0, 7 * 1920 * 3);
    double largestStep = 0.0;
    for (size_t i = 2; i < s.size(); i += 2) {
        largestStep = std::max(largestStep, std::abs(double(s[i]) - double(s[i - 2])));
    }
    // A tone's own steps are below 0.058; a cut between two phases would be up to 2.
    EXPECT_LT(largestStep, 0.07);
}

TEST(PlaybackSound, ReadNeverWaitsForTheMixAndKeepsItsPlace) {
    std::atomic<bool> hold{true};
    const auto slow = [&hold](int64_t s0, int64_t s1, float* out) {
        while (hold.load()) {
            std::this_thread::yield();
        }
        Positions(s0, s1, out);
    };
    PlaybackSound sound(slow, kFrame25, PlaybackRange{0, 999, 0, false}, ExactRate{25, 1});
    std::vector<float> out(2000 * 2);
    sound.Read(out.data(), 2000);  // nothing mixed yet: silence, at once
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[3999], 0.0f);
    hold = false;
    while (sound.MixedPosition() < 2000 + PlaybackSound::kAheadSamples / 2) {
        std::this_thread::yield();
    }
    sound.Read(out.data(), 2000);
    // The sound goes on where the device is, not where the mix fell behind.
    for (int64_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(out[i * 2], float(2000 + i)) << i;
    }
}

TEST(PlaybackSound, AStartWaitsForItsFirstSamplesWithinALimit) {
    std::atomic<bool> hold{true};
    const auto slow = [&hold](int64_t s0, int64_t s1, float* out) {
        while (hold.load()) {
            std::this_thread::yield();
        }
        Positions(s0, s1, out);
    };
    PlaybackSound sound(slow, kFrame25, PlaybackRange{0, 999, 0, false}, ExactRate{25, 1});
    // A mix that does not come is given up after the limit.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(sound.WaitMixed(2000, milliseconds(30)));
    EXPECT_GE(std::chrono::steady_clock::now() - before, milliseconds(30));
    hold = false;
    // Then the first read is the sound from its first sample; beyond the ring nothing is waited
    // for.
    EXPECT_TRUE(sound.WaitMixed(10 * PlaybackSound::kAheadSamples, milliseconds(10'000)));
    std::vector<float> out(2000 * 2);
    sound.Read(out.data(), 2000);
    for (int64_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(out[i * 2], float(i)) << i;
    }
}

TEST(PlaybackSound, StopFadesOutSmoothlyThenIsSilent) {
    const auto level = [](int64_t s0, int64_t s1, float* out) {
        std::fill(out, out + (s1 - s0) * 2, 0.8f);
    };
    PlaybackSound sound(level, kFrame25, PlaybackRange{0, 999, 0, false}, ExactRate{25, 1});
    while (sound.MixedPosition() < 4000) {
        std::this_thread::yield();
    }
    std::vector<float> out(1000 * 2);
    sound.Read(out.data(), 1000);
    EXPECT_EQ(out[1998], 0.8f);
    sound.FadeOut();
    EXPECT_FALSE(sound.FadedOut());
    sound.Read(out.data(), 1000);
    EXPECT_TRUE(sound.FadedOut());
    float previous = 0.8f;
    for (int64_t i = 0; i < PlaybackSound::kStopFadeSamples; ++i) {
        EXPECT_LT(out[i * 2], previous);
        EXPECT_LE(previous - out[i * 2], 0.8f / PlaybackSound::kStopFadeSamples + 1e-6f);
        previous = out[i * 2];
    }
    for (int64_t i = PlaybackSound::kStopFadeSamples - 1; i < 1000; ++i) {
        ASSERT_EQ(out[i * 2], 0.0f) << i;
    }
}

}  // namespace
}  // namespace kelvane

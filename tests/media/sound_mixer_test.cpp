#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "media/MediaSource.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundFormat.h"
#include "media/audio/SoundMixer.h"
#include "media/composition_test_support.h"
#include "media/sound_reference_mixer.h"
#include "model/EventExtras.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

using testing::ReferenceMix;

// Noise that differs in both channels, so that any misplaced sample shows.
std::shared_ptr<const SoundClip> NoiseClip(int64_t samples, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.5f, 0.5f);
    std::vector<float> data(size_t(samples) * 2);
    for (float& v : data) {
        v = value(random);
    }
    return SoundClip::FromSamples(std::move(data));
}

void PlaceClip(Project& project, int32_t slot, std::shared_ptr<const SoundClip> clip) {
    auto source = std::make_unique<MediaSource>();
    source->sound = std::move(clip);
    FileEntry& entry = project.files[size_t(slot)];
    entry.loaded = std::move(source);
    entry.kind = FileKind::Movie;
}

TrackEvent SoundEvent(int32_t fileId, uint32_t start, double seconds, double speed,
                      RefTime frameDuration, uint32_t flags = 0) {
    TrackEvent e{};
    e.flags = kEventUsed | flags;
    e.start = start;
    e.fileId = fileId;
    e.position = RefTime(std::llround(seconds * 1e7));
    e.step = RefTime(std::llround(speed * double(frameDuration)));
    return e;
}

std::unique_ptr<Project> SoundProject(double rate, uint32_t length) {
    auto project = testing::NewProject(16, 16, 0, length);
    project->settings.frameRate = rate;
    project->settings.frameDuration = RefTime(1e7 / rate);
    return project;
}

std::vector<float> Mix(const Project& project, int64_t s0, int64_t s1) {
    std::vector<float> out(size_t(s1 - s0) * 2, 99.0f);
    MixProjectSound(project, s0, s1, out.data());
    return out;
}

// The largest difference, with where it lies, for a readable failure.
::testing::AssertionResult Near(const std::vector<float>& a, const std::vector<float>& b,
                                double tolerance = 2e-6) {
    if (a.size() != b.size()) {
        return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
    }
    double worst = 0;
    size_t at = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = std::abs(double(a[i]) - double(b[i]));
        if (d > worst) {
            worst = d;
            at = i;
        }
    }
    if (worst > tolerance) {
        return ::testing::AssertionFailure()
               << "differs by " << worst << " at sample " << at / 2 << " channel " << at % 2 << ": "
               << a[at] << " vs " << b[at];
    }
    return ::testing::AssertionSuccess();
}

// Onsets, cuts, source positions and every speed at the rates where rounding per frame drifts;
// the whole mix equals the reference, and so does any stretch of it mixed on its own.
TEST(SoundMixer, MatchesReferenceAtEveryRateAndSpeed) {
    for (const double rate : {30.0, 30000.0 / 1001.0, 25.0, 24.0, 0.5}) {
        SCOPED_TRACE(rate);
        const uint32_t length = rate < 1 ? 9 : 40;
        auto project = SoundProject(rate, length);
        const RefTime fd = project->settings.frameDuration;
        const int64_t seconds = int64_t(length * fd / 10'000'000) + 30;
        PlaceClip(*project, 1, NoiseClip(seconds * 48000, 1));
        PlaceClip(*project, 2, NoiseClip(seconds * 48000, 2));
        const uint32_t k = length / 8;
        Track& t0 = project->tracks[0];
        for (const TrackEvent& e :
             {SoundEvent(1, 0, 0.0, 1.0, fd), SoundEvent(1, k, 2.5, 2.0, fd),
              SoundEvent(1, 2 * k, 3.25, 0.5, fd), SoundEvent(1, 3 * k, 8.0, -1.0, fd),
              SoundEvent(1, 4 * k, 1.0, 0.0, fd), SoundEvent(1, 5 * k, 0.75, 1.0, fd)}) {
            ASSERT_TRUE(t0.InsertSorted(&e, 1));
        }
        // A second track starting before its source and running past its end.
        const TrackEvent late = SoundEvent(2, k + 1, -0.3, 1.5, fd);
        ASSERT_TRUE(project->tracks[7].InsertSorted(&late, 1));

        const int64_t total = ProjectSoundLength(*project);
        EXPECT_EQ(total, FrameStartSample(length, fd));
        const std::vector<float> whole = Mix(*project, 0, total);
        EXPECT_TRUE(Near(whole, ReferenceMix(*project, 0, total)));
        // In odd pieces, as a playback thread would ask.
        std::vector<float> pieces;
        for (int64_t s = 0; s < total; s += 1237) {
            const std::vector<float> piece = Mix(*project, s, std::min(total, s + 1237));
            pieces.insert(pieces.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(pieces, whole);
        // Past the end: silence.
        const std::vector<float> after = Mix(*project, total, total + 100);
        EXPECT_EQ(after, std::vector<float>(200, 0.0f));
    }
}

TEST(SoundMixer, SoundPlaysWhereItsSourceTimeIsShownAndNothingDrifts) {
    // A click at second 3 of a source placed at frame 30 of a 30 fps project plays at 4.000 s.
    auto project = SoundProject(30.0, 300);
    const RefTime fd = project->settings.frameDuration;
    std::vector<float> data(10 * 48000 * 2, 0.0f);
    data[3 * 48000 * 2] = data[3 * 48000 * 2 + 1] = 1.0f;
    PlaceClip(*project, 0, SoundClip::FromSamples(data));
    const TrackEvent e = SoundEvent(0, 30, 0.0, 1.0, fd);
    ASSERT_TRUE(project->tracks[0].InsertSorted(&e, 1));
    const std::vector<float> mix = Mix(*project, 0, ProjectSoundLength(*project));
    size_t loudest = 0;
    for (size_t i = 0; i < mix.size(); i += 2) {
        if (mix[i] > mix[loudest]) {
            loudest = i;
        }
    }
    // Frame 30 starts at 9,999,990 units, so the click falls 0.048 samples before 4 s.
    EXPECT_EQ(loudest / 2, 192000u);
    EXPECT_NEAR(mix[loudest], 0.952, 1e-6);

    // Ten minutes at 29.97 hold round(N × fd × 48,000 / 10^7) samples; the frame starts are
    // that count for every N, never a sum of rounded frames.
    const RefTime ntsc = RefTime(1e7 / (30000.0 / 1001.0));
    const int64_t frames = 17982;
    EXPECT_EQ(FrameStartSample(frames, ntsc),
              std::llround(double(frames) * double(ntsc) * 48000.0 / 1e7));
    for (int64_t n = 0; n < frames; n += 997) {
        const long double exact = (long double)n * ntsc * 48000.0L / 1e7L;
        EXPECT_EQ(FrameStartSample(n, ntsc), int64_t(std::floor(exact + 0.5L))) << n;
    }
}

TEST(SoundMixer, TrackVolumeAndMuteAndNestedProjects) {
    auto inner = SoundProject(25.0, 50);
    PlaceClip(*inner, 3, NoiseClip(5 * 48000, 3));
    const TrackEvent a = SoundEvent(3, 0, 0.5, 1.0, inner->settings.frameDuration);
    const TrackEvent b = SoundEvent(3, 20, 0.1, -0.5, inner->settings.frameDuration);
    ASSERT_TRUE(inner->tracks[4].InsertSorted(&a, 1));
    ASSERT_TRUE(inner->tracks[4].InsertSorted(&b, 1));
    inner->tracks[4].SetSound(TrackSound{0.5f, false});

    auto outer = SoundProject(30000.0 / 1001.0, 90);
    const RefTime fd = outer->settings.frameDuration;
    auto nested = std::make_unique<MediaSource>();
    nested->project = std::move(inner);
    outer->files[9].loaded = std::move(nested);
    outer->files[9].kind = FileKind::Project;
    PlaceClip(*outer, 1, NoiseClip(6 * 48000, 4));
    // The nested project from 0.2 s of its time at speed 1.5, then backwards.
    const TrackEvent n1 = SoundEvent(9, 3, 0.2, 1.5, fd);
    const TrackEvent n2 = SoundEvent(9, 50, 1.9, -1.0, fd);
    ASSERT_TRUE(outer->tracks[0].InsertSorted(&n1, 1));
    ASSERT_TRUE(outer->tracks[0].InsertSorted(&n2, 1));
    const TrackEvent m = SoundEvent(1, 10, 0.0, 1.0, fd);
    ASSERT_TRUE(outer->tracks[1].InsertSorted(&m, 1));
    outer->tracks[1].SetSound(TrackSound{2.5f, false});
    EXPECT_TRUE(ProjectHasSound(*outer));

    const int64_t total = ProjectSoundLength(*outer);
    EXPECT_TRUE(Near(Mix(*outer, 0, total), ReferenceMix(*outer, 0, total), 1e-5));

    // A muted track is gone from the mix; with every sounding track muted there is no sound.
    outer->tracks[1].SetSound(TrackSound{2.5f, true});
    EXPECT_TRUE(Near(Mix(*outer, 0, total), ReferenceMix(*outer, 0, total), 1e-5));
    outer->tracks[0].SetSound(TrackSound{1.0f, true});
    EXPECT_FALSE(ProjectHasSound(*outer));
    EXPECT_EQ(Mix(*outer, 0, 1000), std::vector<float>(2000, 0.0f));
}

EventExtras Level(float volume, bool muted = false) {
    EventExtras e;
    e.volume = volume;
    e.audioFlags = muted ? kAudioMuted : 0;
    return e;
}

// Event volumes up to 400 %, a fade made of two interpolating events (the source time moving
// with them), and a muted event between sounding ones.
TEST(SoundMixer, EventVolumesFadesAndMutes) {
    auto project = SoundProject(24.0, 48);
    const RefTime fd = project->settings.frameDuration;
    PlaceClip(*project, 0, NoiseClip(6 * 48000, 9));
    Track& t = project->tracks[5];
    for (const TrackEvent& e :
         {SoundEvent(0, 0, 0.0, 1.0, fd), SoundEvent(0, 6, 1.0, 1.0, fd, kEventInterpolate),
          SoundEvent(0, 18, 2.6, 1.0, fd), SoundEvent(0, 30, 0.5, 1.0, fd),
          SoundEvent(0, 36, 4.0, -2.0, fd)}) {
        ASSERT_TRUE(t.InsertSorted(&e, 1));
    }
    ASSERT_TRUE(t.SetExtras(0, Level(4.0f)));
    ASSERT_TRUE(t.SetExtras(1, Level(0.0f)));
    ASSERT_TRUE(t.SetExtras(2, Level(2.0f)));
    ASSERT_TRUE(t.SetExtras(3, Level(1.0f, true)));
    const int64_t total = ProjectSoundLength(*project);
    const std::vector<float> mix = Mix(*project, 0, total);
    EXPECT_TRUE(Near(mix, ReferenceMix(*project, 0, total), 1e-5));
    // Half-way through the fade the volume is half the target's.
    const int64_t mid = FrameStartSample(12, fd);
    const std::vector<float> alone = Mix(*project, mid, mid + 1);
    auto flat = SoundProject(24.0, 48);
    PlaceClip(*flat, 0, NoiseClip(6 * 48000, 9));
    // The same movement at a steady 100 %.
    const TrackEvent same[] = {SoundEvent(0, 6, 1.0, 1.0, fd, kEventInterpolate),
                               SoundEvent(0, 18, 2.6, 1.0, fd)};
    ASSERT_TRUE(flat->tracks[0].InsertSorted(same, 2));
    EXPECT_NEAR(alone[0], Mix(*flat, mid, mid + 1)[0], 1e-6);
    // The muted event is silent, its neighbours fade out and in around it.
    const int64_t m0 = FrameStartSample(30, fd);
    const int64_t m1 = FrameStartSample(36, fd);
    EXPECT_EQ(Mix(*project, m0, m1), std::vector<float>(size_t(m1 - m0) * 2, 0.0f));
    EXPECT_EQ(mix[size_t(m1) * 2], 0.0f);
}

TEST(SoundMixer, AnEventThatCarriesTheSoundOnDoesNotFade) {
    // Two events that continue the same source without a jump sound exactly as one.
    auto split = SoundProject(25.0, 60);
    auto single = SoundProject(25.0, 60);
    const RefTime fd = split->settings.frameDuration;
    auto clip = NoiseClip(4 * 48000, 5);
    PlaceClip(*split, 0, clip);
    PlaceClip(*single, 0, clip);
    const TrackEvent one = SoundEvent(0, 5, 0.0, 1.0, fd);
    const TrackEvent two = SoundEvent(0, 30, 1.0, 1.0, fd);  // frame 30 shows second 1
    ASSERT_TRUE(split->tracks[0].InsertSorted(&one, 1));
    ASSERT_TRUE(split->tracks[0].InsertSorted(&two, 1));
    ASSERT_TRUE(single->tracks[0].InsertSorted(&one, 1));
    const int64_t total = ProjectSoundLength(*split);
    EXPECT_EQ(Mix(*split, 0, total), Mix(*single, 0, total));
}

}  // namespace
}  // namespace kelvane

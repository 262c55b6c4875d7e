// Playback's timing and its engine on a clock the test moves: the exact rates, the range rules,
// frames shown at their due times from a render copy exactly as an export composes them, frames
// dropped rather than waited for, the loop, and a stop with the queue full.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "export/playback/PlaybackEngine.h"
#include "export/playback/RenderCopy.h"
#include "media/FrameRenderer.h"
#include "media/MediaSource.h"
#include "platform/LogFont.h"
#include "support/BmpFiles.h"
#include "support/EventBuilders.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

using std::chrono::nanoseconds;
using std::chrono::seconds;

TEST(PlaybackTiming, RatesAreExactFractionsAndDueTimesNeverDrift) {
    const auto rate = [](double r) {
        const ExactRate e = ExactRateOf(r);
        return std::to_string(e.numerator) + "/" + std::to_string(e.denominator);
    };
    EXPECT_EQ(rate(29.97), "30000/1001");
    EXPECT_EQ(rate(23.976), "24000/1001");
    EXPECT_EQ(rate(59.94), "60000/1001");
    EXPECT_EQ(rate(30.0), "30/1");
    EXPECT_EQ(rate(12.5), "25/2");
    EXPECT_EQ(rate(0.001), "1/1000");
    EXPECT_EQ(rate(-1.0), "30/1");

    const ExactRate ntsc{30000, 1001};
    // An hour of frames later, to the nanosecond: 108,000,000 frames are 3,603,600 seconds.
    EXPECT_EQ(FrameDueOffset(108'000'000, ntsc), seconds(3'603'600));
    for (uint64_t k : {uint64_t(1), uint64_t(29), uint64_t(30), uint64_t(1001), uint64_t(123457),
                       uint64_t(108'000'001)}) {
        const nanoseconds due = FrameDueOffset(k, ntsc);
        EXPECT_EQ(FrameAt(due, ntsc), k);
        EXPECT_EQ(FrameAt(due - nanoseconds(1), ntsc), k - 1);
    }
    EXPECT_EQ(FrameAt(nanoseconds(-5), ntsc), 0u);
}

TEST(PlaybackTiming, RangeFromTheCursorOrRoundTheSelection) {
    PlaybackRange r;
    EXPECT_FALSE(PlaybackRangeFor(0, 0, 0, 0, r));
    ASSERT_TRUE(PlaybackRangeFor(100, 40, 40, 40, r));
    EXPECT_EQ(r.start, 40u);
    EXPECT_EQ(r.last, 99u);
    EXPECT_FALSE(r.loop);
    EXPECT_EQ(r.FrameOf(59), 99u);
    // On the last frame or past the end: from the beginning.
    for (uint32_t cursor : {99u, 100u}) {
        ASSERT_TRUE(PlaybackRangeFor(100, cursor, cursor, cursor, r));
        EXPECT_EQ(r.start, 0u);
    }
    // A selection of frames 10 to 19 loops; the cursor inside it is the start.
    ASSERT_TRUE(PlaybackRangeFor(100, 15, 10, 20, r));
    EXPECT_TRUE(r.loop);
    EXPECT_EQ(r.first, 10u);
    EXPECT_EQ(r.last, 19u);
    EXPECT_EQ(r.start, 15u);
    EXPECT_EQ(r.FrameOf(4), 19u);
    EXPECT_EQ(r.FrameOf(5), 10u);
    EXPECT_EQ(r.FrameOf(25), 10u);
    ASSERT_TRUE(PlaybackRangeFor(100, 20, 10, 20, r));
    EXPECT_EQ(r.start, 10u);
    // A selection running past the end stops at the last frame.
    ASSERT_TRUE(PlaybackRangeFor(50, 0, 40, 90, r));
    EXPECT_EQ(r.last, 49u);
}

// A clock that moves only when the test says.
struct ManualClock {
    std::shared_ptr<std::atomic<int64_t>> ns = std::make_shared<std::atomic<int64_t>>(1000);
    PlaybackClock Clock() const {
        return [ns = ns] { return nanoseconds(ns->load()); };
    }
    void ToFrame(uint64_t k, ExactRate rate) const {
        ns->store(1000 + FrameDueOffset(k, rate).count());
    }
};

class Engine : public ::testing::Test {
  protected:
    static constexpr ExactRate kRate{25, 1};

    void SetUp() override {
        live_ = Project::Create();
        live_->ApplyDefaults();
        live_->settings.width = 48;
        live_->settings.height = 32;
        live_->settings.length = 40;
        live_->settings.frameRate = 25.0;
        live_->settings.frameDuration = 400000;
        live_->settings.background = 0x00302010;
        const std::string path = folder_.File("red.bmp");
        testing::WriteSolidBmp(path, 8, 8, 0x00FF0000);
        ASSERT_TRUE(MediaSource::LoadPicture(live_->files[3], testing::U16(path)));
        // The picture slides right a pixel a frame, then jumps down at frame 20.
        TrackEvent slide = testing::PlacedEvent(3, 0, 8, 8, 0, 0);
        slide.flags |= kEventInterpolate;
        TrackEvent end = testing::PlacedEvent(3, 20, 8, 8, 20, 0);
        TrackEvent down = testing::PlacedEvent(3, 21, 8, 8, 0, 16);
        for (const TrackEvent& e : {slide, end, down}) {
            ASSERT_TRUE(live_->tracks[5].InsertSorted(&e, 1));
        }
        live_->CopyDefaultMethodToTracks();
    }

    std::unique_ptr<PlaybackEngine> Play(PlaybackRange range) {
        std::unique_ptr<Project> copy = MakeRenderCopy(*live_);
        EXPECT_TRUE(copy);
        PlaybackEngine::Options options;
        options.range = range;
        options.rate = kRate;
        options.clock = clock_.Clock();
        return std::make_unique<PlaybackEngine>(std::move(copy), options);
    }

    // Moves the clock to frame k of the stream and waits for a frame to be taken.
    std::optional<PlaybackEngine::Frame> TakeAt(PlaybackEngine& engine, uint64_t k) {
        clock_.ToFrame(k, kRate);
        const auto deadline = std::chrono::steady_clock::now() + seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::optional<PlaybackEngine::Frame> frame = engine.TakeDue()) {
                return frame;
            }
            std::this_thread::yield();
        }
        return std::nullopt;
    }

    // The frame as the preview and kelvane-render draw it from the live project.
    bool SameAsLive(uint32_t frame, const PixelImage& shown) {
        PixelImage expected;
        if (!expected.Create(48, 32, 32) || !RenderFrame(*live_, frame, expected, true)) {
            return false;
        }
        return std::equal(shown.Pixels(), shown.Pixels() + shown.ByteSize(), expected.Pixels());
    }

    testing::ScratchFolder folder_;
    std::unique_ptr<Project> live_;
    ManualClock clock_;
};

TEST_F(Engine, TheRenderCopyHasSourcesOfItsOwnWithTheSamePictures) {
    LogFont font{};
    font.height = -16;
    ASSERT_TRUE(MediaSource::MakeText(live_->files[4], u"Kelvane", 0x00FFFFFF, font));
    std::unique_ptr<Project> copy = MakeRenderCopy(*live_);
    ASSERT_TRUE(copy);
    for (size_t slot : {size_t(3), size_t(4)}) {
        const PixelImage* mine = MediaSource::Image(copy->files[slot]);
        const PixelImage* theirs = MediaSource::Image(live_->files[slot]);
        ASSERT_TRUE(mine != nullptr && theirs != nullptr) << slot;
        EXPECT_NE(mine, theirs);
        ASSERT_EQ(mine->ByteSize(), theirs->ByteSize());
        EXPECT_TRUE(
            std::equal(mine->Pixels(), mine->Pixels() + mine->ByteSize(), theirs->Pixels()));
        EXPECT_EQ(copy->files[slot].kind, live_->files[slot].kind);
        EXPECT_EQ(copy->files[slot].colour, live_->files[slot].colour);
    }
    EXPECT_EQ(copy->files[4].text, u"Kelvane");
    EXPECT_EQ(copy->settings.frameDuration, live_->settings.frameDuration);
}

TEST_F(Engine, FramesComeAtTheirDueTimesAsTheLiveProjectDrawsThem) {
    PlaybackRange range;
    ASSERT_TRUE(PlaybackRangeFor(40, 17, 17, 17, range));
    std::unique_ptr<PlaybackEngine> engine = Play(range);
    int32_t lastLeft = -1;
    for (uint64_t k = 0; k <= 6; ++k) {
        const std::optional<PlaybackEngine::Frame> frame = TakeAt(*engine, k);
        ASSERT_TRUE(frame) << k;
        EXPECT_EQ(frame->frame, 17 + k);
        EXPECT_TRUE(SameAsLive(frame->frame, *frame->image)) << frame->frame;
        // The picture is there, and it moves until it has jumped down.
        const uint32_t* row = frame->image->Row32(frame->frame <= 20 ? 0 : 16);
        const int32_t left = int32_t(std::find(row, row + 48, 0x00FF0000u) - row);
        EXPECT_LT(left, 48) << frame->frame;
        if (frame->frame <= 21) {
            EXPECT_NE(left, lastLeft) << frame->frame;
        }
        lastLeft = left;
        // Taken once: the same instant gives nothing more.
        EXPECT_FALSE(engine->TakeDue());
    }
    EXPECT_EQ(engine->FramesShown(), 7u);
    EXPECT_EQ(engine->FramesDropped(), 0u);
    EXPECT_FALSE(engine->Ended());
}

TEST_F(Engine, LateFramesAreSkippedAndTheEndIsTheLastFrame) {
    PlaybackRange range;
    ASSERT_TRUE(PlaybackRangeFor(40, 0, 0, 0, range));
    std::unique_ptr<PlaybackEngine> engine = Play(range);
    ASSERT_TRUE(TakeAt(*engine, 0));
    // Thirty frames' time passes at once: frame 30 is shown next, never 1 to 29.
    const std::optional<PlaybackEngine::Frame> late = TakeAt(*engine, 30);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->frame, 30u);
    EXPECT_TRUE(SameAsLive(30, *late->image));
    EXPECT_EQ(engine->FramesDropped(), 29u);
    const std::optional<PlaybackEngine::Frame> last = TakeAt(*engine, 39);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->frame, 39u);
    EXPECT_TRUE(engine->Ended());
    EXPECT_EQ(engine->FramesShown(), 3u);
    EXPECT_EQ(engine->FramesDropped(), 37u);
}

TEST_F(Engine, ASelectionLoopsAndEveryRoundDrawsAlike) {
    PlaybackRange range;
    ASSERT_TRUE(PlaybackRangeFor(40, 0, 18, 23, range));  // frames 18 to 22, across the jump
    std::unique_ptr<PlaybackEngine> engine = Play(range);
    for (uint64_t k = 0; k < 12; ++k) {
        const std::optional<PlaybackEngine::Frame> frame = TakeAt(*engine, k);
        ASSERT_TRUE(frame) << k;
        EXPECT_EQ(frame->frame, 18 + k % 5);
        EXPECT_TRUE(SameAsLive(frame->frame, *frame->image)) << frame->frame;
    }
    EXPECT_FALSE(engine->Ended());
    EXPECT_EQ(engine->FramesDropped(), 0u);
}

TEST_F(Engine, StopsAtOnceWithTheQueueFullAndPlaysAnEmptyProjectBlack) {
    PlaybackRange range;
    ASSERT_TRUE(PlaybackRangeFor(40, 0, 0, 0, range));
    std::unique_ptr<PlaybackEngine> engine = Play(range);
    ASSERT_TRUE(TakeAt(*engine, 0));
    // Five frames' time passes unseen: the composing thread waits for room, and the stop must
    // wake it; frames 1 to 4 were dropped, frame 5 was still in its time.
    clock_.ToFrame(5, kRate);
    engine->Stop();
    engine->Stop();
    EXPECT_EQ(engine->FramesDropped(), 4u);
    engine.reset();

    std::unique_ptr<Project> empty = Project::Create();
    empty->ApplyDefaults();  // 320 x 240, one frame, black, no files, no events
    PlaybackEngine::Options options;
    options.clock = clock_.Clock();
    ASSERT_TRUE(PlaybackRangeFor(empty->settings.length, 0, 0, 0, options.range));
    PlaybackEngine black(MakeRenderCopy(*empty), options);
    const std::optional<PlaybackEngine::Frame> frame = TakeAt(black, 0);
    ASSERT_TRUE(frame);
    const PixelImage& image = *frame->image;
    EXPECT_EQ(image.Width(), 320);
    EXPECT_TRUE(std::all_of(image.Pixels(), image.Pixels() + image.ByteSize(),
                            [](uint8_t byte) { return byte == 0; }));
    EXPECT_TRUE(black.Ended());
}

}  // namespace
}  // namespace kelvane

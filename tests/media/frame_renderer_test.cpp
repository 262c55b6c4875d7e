// Composition of one output frame: background, tracks in order, sources that cannot be drawn,
// failures that stop the tracks above, and movie frames chosen by the playback position.
#include "media/FrameRenderer.h"
#include "settings/AppSettings.h"

#include <gtest/gtest.h>

#include <string>

#include "composition_test_support.h"
#include "media/MediaSource.h"
#include "media/TimeoutQuery.h"
#include "movie_test_support.h"
#include "picture_test_tools.h"
#include "render/TrackEvaluation.h"

namespace kelvane {
namespace {

using testing::AddEvent;
using testing::At;
using testing::NewProject;
using testing::PlacedEvent;
using testing::ScratchFolder;
using testing::TestEffect;
using testing::U16;
using testing::WriteSolidBmp;

constexpr uint32_t kRed = 0x00FF0000, kGreen = 0x0000FF00, kBlue = 0x000000FF;
constexpr uint32_t kBackgroundBgr = 0x00302010;  // pixels 0x00102030
constexpr uint32_t kBackground = 0x00102030;

class Composition : public ::testing::Test {
  protected:
    void SetUp() override {
        project_ = NewProject(32, 24, kBackgroundBgr);
        ASSERT_TRUE(frame_.Create(32, 24, 32));
    }
    // A solid picture of w x h in slot `id`.
    void Picture(int32_t id, uint32_t rgb, int w = 8, int h = 8) {
        const std::string path = folder_.File("p" + std::to_string(id) + ".bmp");
        WriteSolidBmp(path, w, h, rgb);
        ASSERT_TRUE(MediaSource::LoadPicture(project_->files[size_t(id)], U16(path)));
    }
    void Effect(int32_t id) {
        if (TestEffect::Path().empty()) {
            GTEST_SKIP() << "no C compiler for the test effect";
        }
        ASSERT_TRUE(MediaSource::LoadEffect(project_->files[size_t(id)], U16(TestEffect::Path())));
        TestEffect::SetResult(1);
        TestEffect::ResetCalls();
    }
    bool Render(uint32_t frame = 0) { return RenderFrame(*project_, frame, frame_, true); }
    uint32_t Pixel(int x, int y) const { return At(frame_, x, y); }

    ScratchFolder folder_;
    std::unique_ptr<Project> project_;
    PixelImage frame_;
};

TEST_F(Composition, WithoutEventsTheFrameIsTheBackground) {
    std::fill(frame_.Pixels(), frame_.Pixels() + frame_.ByteSize(), uint8_t(0xFF));
    ASSERT_TRUE(Render());
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(Pixel(x, y), kBackground) << x << "," << y;
        }
    }
    project_->settings.background = 0x000000FF;  // red as the model stores it
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(0, 0), 0x00FF0000u);
    EXPECT_EQ(Pixel(31, 23), 0x00FF0000u);
}

TEST_F(Composition, AHigherTrackCoversALowerOne) {
    Picture(0, kRed);
    Picture(1, kBlue);
    // Added top track first: the order of drawing is the track order, not the order of editing.
    AddEvent(*project_, 7, PlacedEvent(1, 0, 8, 8, 4, 4));
    AddEvent(*project_, 3, PlacedEvent(0, 0, 8, 8, 0, 0));
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(1, 1), kRed);
    EXPECT_EQ(Pixel(5, 5), kBlue);  // both land here
    EXPECT_EQ(Pixel(7, 7), kBlue);
    EXPECT_EQ(Pixel(10, 10), kBlue);
    EXPECT_EQ(Pixel(13, 13), kBackground);
    EXPECT_EQ(Pixel(10, 1), kBackground);
}

TEST_F(Composition, EventsBeforeTheirStartAndBetweenEventsFollowTheTrack) {
    Picture(0, kRed);
    Picture(1, kGreen);
    AddEvent(*project_, 0, PlacedEvent(0, 5, 8, 8));
    AddEvent(*project_, 0, PlacedEvent(1, 10, 8, 8));
    ASSERT_TRUE(Render(4));
    EXPECT_EQ(Pixel(0, 0), kBackground);
    ASSERT_TRUE(Render(9));
    EXPECT_EQ(Pixel(0, 0), kRed);
    ASSERT_TRUE(Render(50));
    EXPECT_EQ(Pixel(0, 0), kGreen);
}

TEST_F(Composition, EmptySlotsAndIdsOutsideTheTableDrawNothing) {
    Picture(0, kRed);
    AddEvent(*project_, 1, PlacedEvent(5, 0, 8, 8));     // slot 5 is unused
    AddEvent(*project_, 2, PlacedEvent(1024, 0, 8, 8));  // beyond the table
    AddEvent(*project_, 3, PlacedEvent(-1, 0, 8, 8));
    AddEvent(*project_, 4, PlacedEvent(0, 0, 4, 4, 10, 10));
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(0, 0), kBackground);
    EXPECT_EQ(Pixel(11, 11), kRed);  // the tracks above are still drawn
}

TEST_F(Composition, SourcesWithoutAnImageArePassedOver) {
    // Slots that claim a drawable kind but hold no image, and a snapshot's bare descriptor.
    project_->files[1].kind = FileKind::Movie;
    project_->files[1].loaded = std::make_unique<MediaSource>();
    project_->files[2].kind = FileKind::Image;
    project_->files[2].loaded = std::make_unique<MediaSource>();
    project_->files[3].kind = FileKind::Text;
    project_->files[3].loaded = std::make_unique<MediaSource>();
    project_->files[5].kind = FileKind::Project;
    project_->files[5].loaded = std::make_unique<MediaSource>();
    MediaSource::Of(project_->files[5])->project = NewProject(8, 8);
    project_->files[6].kind = FileKind::Image;  // no loaded object at all
    Picture(0, kGreen);
    uint32_t track = 0;
    for (int32_t id : {1, 2, 3, 5, 6}) {
        AddEvent(*project_, track++, PlacedEvent(id, 0, 8, 8));
    }
    AddEvent(*project_, track, PlacedEvent(0, 0, 4, 4, 20, 0));
    ASSERT_TRUE(Render());
    EXPECT_EQ(Pixel(0, 0), kBackground);
    EXPECT_EQ(Pixel(21, 1), kGreen);
}

TEST_F(Composition, AFailingEventStopsTheTracksAboveIt) {
    Effect(2);
    if (IsSkipped()) {
        return;
    }
    Picture(0, kRed);
    Picture(1, kBlue);
    AddEvent(*project_, 4, PlacedEvent(0, 0, 8, 8));          // below: drawn first
    AddEvent(*project_, 5, PlacedEvent(2, 0, 0, 0));          // the effect fills everything
    AddEvent(*project_, 6, PlacedEvent(1, 0, 8, 8, 16, 16));  // above: not drawn
    AddEvent(*project_, 200, PlacedEvent(2, 0, 0, 0));        // white over everything
    // The effect paints the event's colour, here green.
    project_->tracks[5].Events()[0].colour = 0x0000FF00;
    TestEffect::SetResult(1);
    ASSERT_TRUE(Render());
    EXPECT_EQ(TestEffect::Calls(), 2);
    EXPECT_EQ(Pixel(20, 20), 0x00FFFFFFu);

    TestEffect::ResetCalls();
    TestEffect::SetResult(0);
    EXPECT_FALSE(Render());
    EXPECT_EQ(TestEffect::Calls(), 1);  // track 200 was not reached
    EXPECT_EQ(Pixel(0, 0), kGreen);     // track 5 drew before it failed
    EXPECT_EQ(Pixel(20, 20), kGreen);   // track 6 was not drawn
    TestEffect::SetResult(1);
}

TEST_F(Composition, AnEffectIsToldTheFrameItMayDrawIn) {
    Effect(0);
    if (IsSkipped()) {
        return;
    }
    AddEvent(*project_, 0, PlacedEvent(0, 0, 0, 0));
    project_->tracks[0].Events()[0].colour = 0x000000FF;
    project_->CopyDefaultMethodToTracks();
    for (Track& track : project_->tracks) {
        ResetTrackEvalState(track);
        EvaluateTrack(track, 0, Settings().pixelQuality);
    }
    frame_.Fill(kBackgroundBgr);
    // A clip rectangle reaching beyond the frame is cut to it before the module sees it.
    ASSERT_TRUE(DrawAllTracks(*project_, frame_, DrawRect{-100, -100, 1000, 1000}));
    EXPECT_EQ(Pixel(0, 0), kRed);
    EXPECT_EQ(Pixel(31, 23), kRed);
    frame_.Fill(kBackgroundBgr);
    ASSERT_TRUE(DrawAllTracks(*project_, frame_, DrawRect{4, 4, 8, 8}));
    EXPECT_EQ(Pixel(3, 3), kBackground);
    EXPECT_EQ(Pixel(4, 4), kRed);
    EXPECT_EQ(Pixel(8, 8), kBackground);
}

TEST_F(Composition, RenderTrackDrawsOnlyThatTrack) {
    Picture(0, kRed);
    Picture(1, kBlue);
    AddEvent(*project_, 3, PlacedEvent(0, 0, 8, 8));
    AddEvent(*project_, 7, PlacedEvent(1, 0, 8, 8, 4, 4));
    ASSERT_TRUE(RenderTrack(*project_, 3, 0, frame_));
    EXPECT_EQ(Pixel(5, 5), kRed);
    EXPECT_EQ(Pixel(10, 10), kBackground);
    ASSERT_TRUE(RenderTrack(*project_, 7, 0, frame_));
    EXPECT_EQ(Pixel(1, 1), kBackground);
    EXPECT_EQ(Pixel(5, 5), kBlue);
    ASSERT_TRUE(RenderTrack(*project_, 100, 0, frame_));  // a track without events
    EXPECT_EQ(Pixel(5, 5), kBackground);
    EXPECT_FALSE(RenderTrack(*project_, 256, 0, frame_));
}

TEST_F(Composition, OnlyA32BitTargetIsDrawn) {
    Picture(0, kRed);
    AddEvent(*project_, 0, PlacedEvent(0, 0, 8, 8));
    PixelImage none;
    EXPECT_FALSE(RenderFrame(*project_, 0, none, true));
    PixelImage rgb24;
    ASSERT_TRUE(rgb24.Create(32, 24, 24));
    EXPECT_FALSE(RenderFrame(*project_, 0, rgb24, true));
    EXPECT_FALSE(RenderTrack(*project_, 0, 0, rgb24));
}

const testing::MovieSpec kMovie{"composition_clip.avi", "-c:v mjpeg -q:v 3", 256, 64, 40, 25};

class MovieComposition : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string path = testing::MakeMovie(kMovie);
        if (path.empty()) {
            GTEST_SKIP() << "ffmpeg cannot write " << kMovie.name;
        }
        SetTimeoutQuery(nullptr);
        project_ = NewProject(256, 64);
        ASSERT_TRUE(MediaSource::LoadMovie(project_->files[9], U16(path)));
        ASSERT_TRUE(frame_.Create(256, 64, 32));
    }
    // The movie frame that output frame `frame` shows for an event starting at 0 at `position`.
    int Shown(RefTime position, uint32_t frame = 0) {
        project_->tracks[0].Reset(0);
        AddEvent(*project_, 0, PlacedEvent(9, 0, 256, 64, 0, 0, position));
        if (!RenderFrame(*project_, frame, frame_, true)) {
            return -2;
        }
        return testing::DecodeIndex(frame_);
    }

    testing::SettingsGuard settings_;
    std::unique_ptr<Project> project_;
    PixelImage frame_;
};

TEST_F(MovieComposition, ThePlaybackPositionPicksTheFrame) {
    EXPECT_EQ(Shown(0), 0);
    EXPECT_EQ(Shown(0, 12), 12);
    EXPECT_EQ(Shown(5 * 400000 + 399999), 5);  // whole source frames, truncated
    EXPECT_EQ(Shown(-5 * 400000), 0);
    EXPECT_EQ(Shown(-5 * 400000, 7), 2);
    EXPECT_EQ(Shown(-1), 0);
    EXPECT_EQ(Shown(1000 * 400000), 39);
    EXPECT_EQ(Shown(INT64_MAX / 2), 39);
}

TEST_F(MovieComposition, SeveralEventsOfOneFrameFetchOnce) {
    AddEvent(*project_, 0, PlacedEvent(9, 0, 256, 64, 0, 0, 6 * 400000));
    AddEvent(*project_, 1, PlacedEvent(9, 0, 128, 64, 0, 0, 6 * 400000));
    ASSERT_TRUE(RenderFrame(*project_, 0, frame_, true));
    EXPECT_EQ(project_->files[9].currentFrame, 6);
    EXPECT_EQ(testing::DecodeIndex(frame_), 6);
    // A mark in the source image stays: the second render fetches nothing.
    MediaSource::Of(project_->files[9])->image.Fill(0x0000FF00);
    ASSERT_TRUE(RenderFrame(*project_, 0, frame_, true));
    EXPECT_EQ(At(frame_, 0, 0), 0x0000FF00u);
}

}  // namespace
}  // namespace kelvane

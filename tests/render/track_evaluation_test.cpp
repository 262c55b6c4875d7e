#include "render/TrackEvaluation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/Track.h"
#include "render/EventGeometry.h"
#include "render/SamplingMatrix.h"

namespace kelvane {
namespace {

// The "PixelQuality" default: the standard method.
constexpr int32_t kPixelQuality = 2;

constexpr RefTime kFrame = 333333;

TrackEvent At(uint32_t start, RefTime position = 0, RefTime step = kFrame) {
    TrackEvent e{};
    e.flags = kEventUsed | kEventParametric;
    e.start = start;
    e.fileId = int32_t(start);
    e.position = position;
    e.step = step;
    e.colour = 0x00FFFFFF;
    e.scale = 1;
    return e;
}

void Fill(Track& track, const std::vector<TrackEvent>& events) {
    ASSERT_TRUE(track.Reset(0));
    ASSERT_TRUE(track.InsertSorted(events.data(), uint32_t(events.size())));
}

bool IsZero(const TrackEvent& e) {
    const TrackEvent zero{};
    return std::memcmp(&e, &zero, sizeof(TrackEvent)) == 0;
}

const TrackEvent& Working(Track& track) {
    return track.EvalState().working;
}

// The matrices a working copy should carry: the event's own, composed for the method.
TrackEvent Composed(TrackEvent e, DrawMethod method) {
    if (e.flags & kEventParametric) {
        BuildParametricMatrices(e);
    }
    ComposeWithSamplingMatrix(e, method);
    return e;
}

void ExpectSameMatrices(const TrackEvent& a, const TrackEvent& b) {
    EXPECT_EQ(std::memcmp(a.matrix, b.matrix, sizeof(a.matrix)), 0);
    EXPECT_EQ(std::memcmp(a.inverse, b.inverse, sizeof(a.inverse)), 0);
}

TEST(EvaluateTrack, ATrackWithoutEventsStaysEmpty) {
    Track track;
    EvaluateTrack(track, 5, kPixelQuality);
    EXPECT_TRUE(IsZero(Working(track)));
    EXPECT_EQ(track.EvalState().lastFrame, 0u);
}

TEST(EvaluateTrack, NothingIsInForceBeforeTheFirstStart) {
    Track track;
    Fill(track, {At(10)});
    for (uint32_t f = 0; f < 10; ++f) {
        EvaluateTrack(track, f, kPixelQuality);
        EXPECT_TRUE(IsZero(Working(track))) << f;
    }
    EvaluateTrack(track, 10, kPixelQuality);
    EXPECT_EQ(Working(track).fileId, 10);
    EXPECT_EQ(Working(track).position, 0);
}

TEST(EvaluateTrack, PositionAdvancesByStepAndRestartsForAnEarlierFrame) {
    Track track;
    Fill(track, {At(0)});
    EvaluateTrack(track, 0, kPixelQuality);
    EXPECT_EQ(Working(track).position, 0);
    EvaluateTrack(track, 5, kPixelQuality);
    EXPECT_EQ(Working(track).position, 5 * kFrame);
    EvaluateTrack(track, 3, kPixelQuality);
    EXPECT_EQ(Working(track).position, 3 * kFrame);
    EXPECT_EQ(track.EvalState().lastFrame, 3u);
}

TEST(EvaluateTrack, AnyOrderOfFramesGivesTheSamePositions) {
    Track track;
    Fill(track, {At(0, 100, 7), At(4, 5000, -3), At(9, 0, 0), At(12, 70, 11)});
    auto expected = [](uint32_t f) -> RefTime {
        if (f >= 12)
            return 70 + RefTime(f - 12) * 11;
        if (f >= 9)
            return 0;
        if (f >= 4)
            return 5000 - RefTime(f - 4) * 3;
        return 100 + RefTime(f) * 7;
    };
    for (uint32_t f = 0; f < 20; ++f) {
        EvaluateTrack(track, f, kPixelQuality);
        EXPECT_EQ(Working(track).position, expected(f)) << f;
    }
    for (uint32_t f : {17u, 2u, 2u, 11u, 4u, 0u, 13u, 8u, 30u, 1u}) {
        EvaluateTrack(track, f, kPixelQuality);
        EXPECT_EQ(Working(track).position, expected(f)) << f;
    }
}

TEST(EvaluateTrack, ForwardWalkResumesAfterTheCurrentEvent) {
    Track track;
    Fill(track, {At(0), At(10), At(20)});
    EvaluateTrack(track, 12, kPixelQuality);
    EXPECT_EQ(track.EvalState().nextIndex, 2u);
    EXPECT_EQ(track.EvalState().currentStart, 10u);
    EvaluateTrack(track, 25, kPixelQuality);
    EXPECT_EQ(track.EvalState().nextIndex, 3u);
    EXPECT_EQ(track.EvalState().currentStart, 20u);
    EXPECT_EQ(Working(track).position, 5 * kFrame);
}

TEST(EvaluateTrack, OfEqualStartsTheLaterEventIsInForce) {
    Track track;
    TrackEvent first = At(3);
    first.fileId = 1;
    TrackEvent second = At(3);
    second.fileId = 2;
    Fill(track, {first, second});
    EvaluateTrack(track, 3, kPixelQuality);
    EXPECT_EQ(Working(track).fileId, 2);
    EvaluateTrack(track, 100, kPixelQuality);
    EXPECT_EQ(Working(track).fileId, 2);
}

TEST(EvaluateTrack, ResetForgetsTheEventButKeepsTheLastFrame) {
    Track track;
    Fill(track, {At(0), At(10)});
    EvaluateTrack(track, 12, kPixelQuality);
    ResetTrackEvalState(track);
    EXPECT_TRUE(IsZero(Working(track)));
    EXPECT_EQ(track.EvalState().nextIndex, 0u);
    EXPECT_EQ(track.EvalState().currentStart, 0u);
    EXPECT_EQ(track.EvalState().lastFrame, 12u);
    EvaluateTrack(track, 14, kPixelQuality);  // rescans from the first event
    EXPECT_EQ(Working(track).fileId, 10);
    EXPECT_EQ(Working(track).position, 4 * kFrame);
}

class Interpolation : public ::testing::Test {
  protected:
    void SetUp() override {
        from_ = At(0, 0, 999);
        from_.flags |= kEventInterpolate;
        from_.left = 0;
        from_.top = 10;
        from_.right = -20;
        from_.bottom = 7;
        from_.colour = 0x000000FF;  // red 255, opaque
        to_ = At(10, 1000, 5);
        to_.left = 100;
        to_.top = 0;
        to_.right = 20;
        to_.bottom = 8;
        to_.colour = 0x80FF0000;  // blue 255, opacity 128
    }

    TrackEvent from_;
    TrackEvent to_;
};

TEST_F(Interpolation, HalfWay) {
    Track track;
    Fill(track, {from_, to_});
    EvaluateTrack(track, 5, kPixelQuality);
    const TrackEvent& w = Working(track);
    EXPECT_EQ(w.position, 500);  // the step plays no part
    EXPECT_EQ(w.left, 50);
    EXPECT_EQ(w.top, 5);
    EXPECT_EQ(w.right, 0);
    EXPECT_EQ(w.bottom, 7);            // 7 + 1 x 5 / 10, truncated
    EXPECT_EQ(w.colour & 0xFF, 128u);  // 255 - 255 x 5 / 10, truncated
    EXPECT_EQ((w.colour >> 8) & 0xFF, 0u);
    EXPECT_EQ((w.colour >> 16) & 0xFF, 127u);
    EXPECT_EQ(w.colour >> 24, 192u);  // 256 -> 128
    EXPECT_EQ(w.step, 999);
    EXPECT_EQ(track.EvalState().span, 10);
    EXPECT_EQ(track.EvalState().elapsed, 5);
}

TEST_F(Interpolation, AtTheStartTheEventIsAsStored) {
    Track track;
    Fill(track, {from_, to_});
    EvaluateTrack(track, 0, kPixelQuality);
    EXPECT_EQ(Working(track).colour, from_.colour);
    EXPECT_EQ(Working(track).left, 0);
    EvaluateTrack(track, 9, kPixelQuality);
    EXPECT_EQ(Working(track).left, 90);
    EvaluateTrack(track, 10, kPixelQuality);
    EXPECT_EQ(Working(track).fileId, 10);
    EXPECT_EQ(Working(track).colour, to_.colour);
}

TEST_F(Interpolation, OpaqueToOpaqueStaysOpaque) {
    to_.colour = 0x00000000;
    Track track;
    Fill(track, {from_, to_});
    for (uint32_t f = 0; f < 10; ++f) {
        EvaluateTrack(track, f, kPixelQuality);
        EXPECT_EQ(Working(track).colour >> 24, 0u) << f;
    }
}

TEST_F(Interpolation, TheLastEventNeverInterpolates) {
    Track track;
    Fill(track, {from_});
    EvaluateTrack(track, 4, kPixelQuality);
    const TrackEvent& w = Working(track);
    EXPECT_EQ(w.flags & kEventInterpolate, 0u);
    EXPECT_EQ(w.position, 4 * 999);
    EXPECT_EQ(w.colour, from_.colour);
    EXPECT_EQ(w.right, -20);
}

TEST_F(Interpolation, PlacementMovesOnlyTowardsAParametricEvent) {
    from_.rotation = 0;
    from_.positionX = 10;
    to_.rotation = 90;
    to_.positionX = 30;
    Track track;
    Fill(track, {from_, to_});
    track.EvalState().defaultMethod = 2;
    EvaluateTrack(track, 5, kPixelQuality);
    const TrackEvent& w = Working(track);
    EXPECT_EQ(w.rotation, 45.0f);
    EXPECT_EQ(w.positionX, 20.0f);
    ExpectSameMatrices(w, Composed(w, DrawMethod::Standard));

    to_.flags &= ~uint32_t(kEventParametric);
    Track explicitNext;
    Fill(explicitNext, {from_, to_});
    EvaluateTrack(explicitNext, 5, kPixelQuality);
    EXPECT_EQ(Working(explicitNext).rotation, 0.0f);
    EXPECT_EQ(Working(explicitNext).positionX, 10.0f);
}

TEST_F(Interpolation, AnExplicitMatrixStaysForTheWholeSpan) {
    from_.flags &= ~uint32_t(kEventParametric);
    const float m[9] = {2, 0, 5, 0, 3, 6, 0, 0, 1};
    std::memcpy(from_.matrix, m, sizeof(m));
    InvertMatrix(from_.matrix, from_.inverse);
    from_.drawMethod = 2;
    Track track;
    Fill(track, {from_, to_});
    const TrackEvent expected = Composed(from_, DrawMethod::Standard);
    for (uint32_t f : {0u, 3u, 7u}) {
        EvaluateTrack(track, f, kPixelQuality);
        ExpectSameMatrices(Working(track), expected);
    }
    EXPECT_EQ(Working(track).left, 70);
}

TEST(EvaluateTrack, ComposesForTheResolvedMethod) {
    TrackEvent e = At(0);
    e.scale = 2;
    Track track;
    Fill(track, {e});
    track.EvalState().defaultMethod = 1;  // the event's own method is 0
    EvaluateTrack(track, 0, kPixelQuality);
    ExpectSameMatrices(Working(track), Composed(e, DrawMethod::StandardInitial));

    e.drawMethod = 3;
    Fill(track, {e});
    EvaluateTrack(track, 0, kPixelQuality);
    ExpectSameMatrices(Working(track), Composed(e, DrawMethod::Linear));
    // The stored event keeps the matrices it had.
    EXPECT_EQ(track.Events()[0].matrix[0], 0.0f);
}

TEST(EvaluateTrack, ASpanOfAllFramesDoesNotTrap) {
    TrackEvent a = At(0, 0, 0);
    a.flags |= kEventInterpolate;
    a.left = 5;
    TrackEvent b = At(kSentinelStart, RefTime(1) << 62, 0);
    b.left = INT32_MIN;
    Track track;
    Fill(track, {a, b});
    EvaluateTrack(track, 0x7FFFFFFF, kPixelQuality);
    EvaluateTrack(track, 0xFFFFFFFE, kPixelQuality);
    EXPECT_EQ(Working(track).fileId, 0);
}

// A track shared with an undo snapshot or a render copy is only read: evaluating it never gives it
// an array of its own (which would copy every track of the project on the first frame after an
// edit).
TEST(TrackEvaluation, EvaluatingASharedTrackLeavesItShared) {
    Track track;
    Fill(track, {At(0), At(10)});
    Track snapshot;
    snapshot.ShareFrom(track);
    for (uint32_t frame : {0u, 5u, 12u, 3u}) {
        EvaluateTrack(track, frame, kPixelQuality);
        EvaluateTrack(snapshot, frame, kPixelQuality);
    }
    ResetTrackEvalState(track);
    EXPECT_TRUE(track.SharesEventsWith(snapshot));
    EXPECT_EQ(snapshot.EvalState().lastFrame, 3u);
}

}  // namespace
}  // namespace kelvane

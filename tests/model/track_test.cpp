#include "model/Track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "FailingAllocation.h"
#include "support/EventBuilders.h"

namespace kelvane {
namespace {

using testing::HasSentinel;
using testing::LabelledEvent;
using testing::Labels;
using testing::ScopedAllocationFailure;
using Labelled = std::vector<int32_t>;

void Insert(Track& track, std::initializer_list<TrackEvent> batch) {
    const std::vector<TrackEvent> events(batch);
    ASSERT_TRUE(track.InsertSorted(events.data(), uint32_t(events.size())));
}

void MarkPosition(Track& track) {
    track.EvalState().nextIndex = 7;
    track.EvalState().lastFrame = 8;
    track.EvalState().currentStart = 9;
}

void ExpectPositionForgotten(const Track& track) {
    EXPECT_EQ(track.EvalState().nextIndex, 0u);
    EXPECT_EQ(track.EvalState().lastFrame, 0u);
    EXPECT_EQ(track.EvalState().currentStart, 0u);
}

// The bytes of the events, the sentinel and the state, to show that a failed operation left
// everything as it was.
std::vector<uint8_t> Snapshot(const Track& track) {
    const size_t records = track.HasArray() ? track.Count() + 1 : 0;
    std::vector<uint8_t> bytes(sizeof(TrackEvalState) + records * sizeof(TrackEvent) + 4);
    uint8_t* out = bytes.data();
    std::memcpy(out, &track.EvalState(), sizeof(TrackEvalState));
    out += sizeof(TrackEvalState);
    if (records > 0) {
        std::memcpy(out, track.Events(), records * sizeof(TrackEvent));
        out += records * sizeof(TrackEvent);
    }
    const uint32_t count = track.Count();
    std::memcpy(out, &count, 4);
    return bytes;
}

TEST(Track, ResetMakesZeroedEventsAndTheSentinel) {
    Track track;
    EXPECT_FALSE(track.HasArray());
    MarkPosition(track);
    ASSERT_TRUE(track.Reset(3));
    EXPECT_EQ(track.Count(), 3u);
    for (const TrackEvent& e : track.EventSpan()) {
        EXPECT_EQ(e.start, 0u);
        EXPECT_EQ(e.flags, 0u);
    }
    EXPECT_TRUE(HasSentinel(track));
    ExpectPositionForgotten(track);

    ASSERT_TRUE(track.Reset(0));
    EXPECT_EQ(track.Count(), 0u);
    EXPECT_TRUE(HasSentinel(track));
}

TEST(Track, InsertedEventsGoAfterExistingEventsWithTheSameStart) {
    Track track;  // no array yet: the insert makes one
    Insert(track, {LabelledEvent(10, 1), LabelledEvent(20, 2), LabelledEvent(20, 3)});
    Insert(track,
           {LabelledEvent(5, 4), LabelledEvent(20, 5), LabelledEvent(20, 6), LabelledEvent(30, 7)});
    EXPECT_EQ(Labels(track), (Labelled{4, 1, 2, 3, 5, 6, 7}));
    EXPECT_TRUE(HasSentinel(track));

    Insert(track, {LabelledEvent(10, 8)});
    EXPECT_EQ(Labels(track), (Labelled{4, 1, 8, 2, 3, 5, 6, 7}));
}

TEST(Track, InsertingForgetsTheScanPositionButKeepsTheRestOfTheState) {
    Track track;
    MarkPosition(track);
    track.EvalState().working.fileId = 42;
    track.EvalState().span = 3;
    Insert(track, {LabelledEvent(1, 1)});
    ExpectPositionForgotten(track);
    EXPECT_EQ(track.EvalState().working.fileId, 42);
    EXPECT_EQ(track.EvalState().span, 3);
}

TEST(Track, StartsAreComparedUnsigned) {
    Track track;
    Insert(track, {LabelledEvent(0x80000000u, 1)});
    Insert(track, {LabelledEvent(1, 2), LabelledEvent(0x7FFFFFFFu, 3)});
    EXPECT_EQ(Labels(track), (Labelled{2, 3, 1}));
}

TEST(Track, AnEventAtTheLastFrameNumberDoesNotRunPastTheArray) {
    // Its start ties with the sentinel's; it must still land before the sentinel.
    Track track;
    Insert(track, {LabelledEvent(3, 1)});
    Insert(track, {LabelledEvent(kSentinelStart, 2), LabelledEvent(kSentinelStart, 3)});
    EXPECT_EQ(Labels(track), (Labelled{1, 2, 3}));
    EXPECT_TRUE(HasSentinel(track));
}

TEST(Track, RemoveFlaggedKeepsTheOthersInOrder) {
    Track track;
    Insert(track, {LabelledEvent(1, 1, kEventSelected), LabelledEvent(2, 2),
                   LabelledEvent(3, 3, kEventSelected), LabelledEvent(4, 4)});
    MarkPosition(track);
    ASSERT_TRUE(track.RemoveFlagged(kEventSelected));
    EXPECT_EQ(Labels(track), (Labelled{2, 4}));
    EXPECT_TRUE(HasSentinel(track));
    ExpectPositionForgotten(track);

    ASSERT_TRUE(track.RemoveFlagged(kEventUsed));
    EXPECT_EQ(track.Count(), 0u);
    EXPECT_TRUE(HasSentinel(track));
}

TEST(Track, SortIsStableAndUnsigned) {
    std::mt19937 random(7);
    for (uint32_t n : {0u, 1u, 2u, 3u, 5u, 16u, 17u, 100u}) {
        Track track;
        ASSERT_TRUE(track.Reset(n));
        std::vector<TrackEvent> expected;
        for (uint32_t i = 0; i < n; ++i) {
            // Few distinct starts, some with the top bit set, so that ties are common.
            const uint32_t start = (random() % 5) * 0x40000000u;
            track.Events()[i] = LabelledEvent(start, int32_t(i));
            expected.push_back(track.Events()[i]);
        }
        ASSERT_TRUE(track.Sort());
        std::stable_sort(
            expected.begin(), expected.end(),
            [](const TrackEvent& a, const TrackEvent& b) { return a.start < b.start; });
        Labelled want;
        for (const TrackEvent& e : expected) {
            want.push_back(e.fileId);
        }
        EXPECT_EQ(Labels(track), want) << n << " events";
        EXPECT_TRUE(HasSentinel(track));
    }
}

TEST(Track, SortingATrackWithoutArraySucceeds) {
    Track track;
    EXPECT_TRUE(track.Sort());
    EXPECT_FALSE(track.HasArray());
}

TEST(Track, CopyFromTakesEventsAndStateButNotTheDefaultMethod) {
    Track source;
    Insert(source, {LabelledEvent(1, 1), LabelledEvent(2, 2)});
    TrackEvalState& s = source.EvalState();
    s.nextIndex = 2;
    s.lastFrame = 5;
    s.currentStart = 2;
    s.working.fileId = 11;
    s.from.fileId = 12;
    s.to.fileId = 13;
    s.span = 4;
    s.elapsed = 3;
    s.defaultMethod = 3;

    Track copy;
    Insert(copy, {LabelledEvent(9, 9), LabelledEvent(9, 9), LabelledEvent(9, 9)});
    copy.EvalState().defaultMethod = 1;
    ASSERT_TRUE(copy.CopyFrom(source));
    EXPECT_EQ(Labels(copy), (Labelled{1, 2}));
    EXPECT_TRUE(HasSentinel(copy));
    EXPECT_NE(copy.Events(), source.Events());
    const TrackEvalState& c = copy.EvalState();
    EXPECT_EQ(c.nextIndex, 2u);
    EXPECT_EQ(c.lastFrame, 5u);
    EXPECT_EQ(c.currentStart, 2u);
    EXPECT_EQ(c.working.fileId, 11);
    EXPECT_EQ(c.from.fileId, 12);
    EXPECT_EQ(c.to.fileId, 13);
    EXPECT_EQ(c.span, 4);
    EXPECT_EQ(c.elapsed, 3);
    EXPECT_EQ(c.defaultMethod, 1);

    Track empty;
    ASSERT_TRUE(copy.CopyFrom(empty));
    EXPECT_EQ(copy.Count(), 0u);
    EXPECT_TRUE(HasSentinel(copy));
}

TEST(Track, FailedAllocationLeavesTheTrackUnchanged) {
    Track track;
    Insert(track, {LabelledEvent(3, 1, kEventSelected), LabelledEvent(1, 2)});
    track.Events()[0].start = 9;  // out of order, as after an edit in place
    MarkPosition(track);
    Track other;
    Insert(other, {LabelledEvent(4, 4)});
    const std::vector<uint8_t> before = Snapshot(track);
    const TrackEvent batch = LabelledEvent(2, 3);
    {
        ScopedAllocationFailure failing;
        EXPECT_FALSE(track.InsertSorted(&batch, 1));
        EXPECT_EQ(Snapshot(track), before);
        EXPECT_FALSE(track.RemoveFlagged(kEventSelected));
        EXPECT_EQ(Snapshot(track), before);
        EXPECT_FALSE(track.Sort());
        EXPECT_EQ(Snapshot(track), before);
        EXPECT_FALSE(track.CopyFrom(other));
        EXPECT_EQ(Snapshot(track), before);

        Track fresh;
        EXPECT_FALSE(fresh.InsertSorted(&batch, 1));
        EXPECT_EQ(fresh.Count(), 0u);

        // Reset discards the old events before it allocates: a failure leaves an empty track.
        EXPECT_FALSE(track.Reset(2));
        EXPECT_FALSE(track.HasArray());
        EXPECT_EQ(track.Count(), 0u);
    }
    EXPECT_TRUE(track.InsertSorted(&batch, 1));
    EXPECT_EQ(Labels(track), (Labelled{3}));
}

TEST(Track, ACountBeyondThirtyTwoBitsIsRefused) {
    Track track;
    Insert(track, {LabelledEvent(1, 1)});
    // The batch pointer is never read: the size check comes first.
    const TrackEvent one = LabelledEvent(2, 2);
    EXPECT_FALSE(track.InsertSorted(&one, UINT32_MAX));
    EXPECT_EQ(Labels(track), (Labelled{1}));
}

}  // namespace
}  // namespace kelvane

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

#include "media/CaptureRenderer.h"
#include "media/SampleSlot.h"
#include "movie_test_support.h"

namespace kelvane {
namespace {

SamplePtr MakeSample(const std::shared_ptr<SamplePool>& pool, RefTime start, uint8_t fill) {
    SamplePtr s = pool->Allocate();
    std::memset(s->Data(), fill, s->Size());
    s->SetTime(start);
    return s;
}

class SlotTest : public ::testing::Test {
  protected:
    void SetUp() override { Settings().callbackTimeout = 5000; }
    void Offer(const SamplePtr& s) {
        slot_.Offer(s, filterLock_, [this] { return released_.load(); });
    }

    testing::SettingsGuard settings_;
    std::shared_ptr<SamplePool> pool_ = std::make_shared<SamplePool>(16);
    SampleSlot slot_;
    std::mutex filterLock_;
    std::atomic<bool> released_{false};
};

TEST_F(SlotTest, FramePositionsRoundHalvesAwayFromZeroAndAddTheOffset) {
    slot_.SetFrameMode(true, 400);
    struct {
        RefTime start;
        int64_t offset;
        int64_t expected;
    } cases[] = {{0, 0, 0},      {199, 0, 0},   {200, 0, 1},   {600, 7, 9},
                 {-199, 10, 10}, {-200, 10, 9}, {-1000, 1, 0}, {-200, 0, 0}};
    for (const auto& c : cases) {
        slot_.Reopen();
        ASSERT_TRUE(slot_.SlotLock().WaitFor(1000));
        slot_.SetPositionOffsetLocked(c.offset);
        slot_.SlotLock().Set();
        Offer(MakeSample(pool_, c.start, 1));
        int64_t p = 0;
        ASSERT_TRUE(slot_.Peek(p));
        EXPECT_EQ(p, c.expected) << c.start << " + " << c.offset;  // negative becomes 0
    }
    slot_.SetFrameMode(false, 400);
    slot_.Reopen();
    ASSERT_TRUE(slot_.SlotLock().WaitFor(1000));
    slot_.SetPositionOffsetLocked(1000);
    slot_.SlotLock().Set();
    Offer(MakeSample(pool_, 333, 1));
    int64_t p = 0;
    ASSERT_TRUE(slot_.Peek(p));
    EXPECT_EQ(p, 1333);
}

TEST_F(SlotTest, OneSampleAtATimeUntilTheReaderReopens) {
    Offer(MakeSample(pool_, 0, 0x11));
    EXPECT_TRUE(slot_.SampleEvent().WaitFor(0));
    EXPECT_FALSE(slot_.ReadyEvent().WaitFor(0));
    // The second sample waits for the reader.
    auto second = std::async(std::launch::async, [&] { Offer(MakeSample(pool_, 400, 0x22)); });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    uint8_t out[16] = {};
    ASSERT_TRUE(slot_.Copy(out, sizeof out));
    EXPECT_EQ(out[15], 0x11);
    slot_.Reopen();
    second.get();
    ASSERT_TRUE(slot_.Copy(out, sizeof out));
    EXPECT_EQ(out[0], 0x22);
    // A destination larger than the sample is refused and left alone.
    uint8_t big[32] = {};
    EXPECT_FALSE(slot_.Copy(big, sizeof big));
    EXPECT_EQ(big[0], 0);
}

TEST_F(SlotTest, StopReleasesABlockedStreamingThreadAndRefusesSamples) {
    Settings().callbackTimeout = -1;  // read unsigned: no time limit at all
    Offer(MakeSample(pool_, 0, 1));
    auto blocked = std::async(std::launch::async, [&] { Offer(MakeSample(pool_, 400, 2)); });
    EXPECT_EQ(blocked.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
    slot_.Stop();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    int64_t p = 0;
    EXPECT_FALSE(slot_.Peek(p));
    EXPECT_EQ(p, SampleSlot::kEmpty);
    EXPECT_TRUE(slot_.SampleEvent().WaitFor(0));  // a waiting reader wakes
    Offer(MakeSample(pool_, 800, 3));
    EXPECT_FALSE(slot_.Peek(p));
    slot_.Reopen();
    Offer(MakeSample(pool_, 800, 3));
    EXPECT_TRUE(slot_.Peek(p));
}

TEST_F(SlotTest, TheThreadReleaseSignalAlsoEndsTheWait) {
    Settings().callbackTimeout = -1;
    Offer(MakeSample(pool_, 0, 1));
    auto blocked = std::async(std::launch::async, [&] { Offer(MakeSample(pool_, 400, 2)); });
    released_ = true;
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    int64_t p = 0;
    ASSERT_TRUE(slot_.Peek(p));
    EXPECT_EQ(p, 0);  // the first sample is still held
}

TEST_F(SlotTest, AStreamingWaitThatRunsOutDropsOnlyWhenStopped) {
    Settings().callbackTimeout = 20;
    Offer(MakeSample(pool_, 0, 1));
    // Not stopped: the streaming thread keeps waiting through several time limits.
    auto waiting = std::async(std::launch::async, [&] { Offer(MakeSample(pool_, 400, 2)); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    slot_.Reopen();
    waiting.get();
    int64_t p = 0;
    ASSERT_TRUE(slot_.Peek(p));
    EXPECT_EQ(p, 400);
}

TEST(CaptureRendererTest, AcceptsOnlyBottomUp32BitRgbVideo) {
    CaptureRenderer sink;
    MediaType type;
    type.format.bmiHeader.width = 16;
    type.format.bmiHeader.height = 8;
    type.format.bmiHeader.bitCount = 32;
    EXPECT_EQ(sink.CheckMediaType(type), MediaCheck::Ok);

    MediaType audio = type;
    audio.majorType = kMediaTypeAudio;
    EXPECT_EQ(sink.CheckMediaType(audio), MediaCheck::Failed);
    MediaType rgb24 = type;
    rgb24.subtype = kMediaSubtypeRgb24;
    EXPECT_EQ(sink.CheckMediaType(rgb24), MediaCheck::Failed);
    MediaType noFormat = type;
    noFormat.formatType = kFormatNone;
    EXPECT_EQ(sink.CheckMediaType(noFormat), MediaCheck::InvalidArgument);
    MediaType topDown = type;
    topDown.format.bmiHeader.height = -8;
    EXPECT_EQ(sink.CheckMediaType(topDown), MediaCheck::Failed);
    EXPECT_FALSE(sink.SetMediaType(topDown));

    type.format.avgTimePerFrame = 400000;
    ASSERT_TRUE(sink.SetMediaType(type));
    EXPECT_EQ(sink.ConnectedFormat().avgTimePerFrame, 400000);
    EXPECT_EQ(sink.ConnectedFormat().bmiHeader.height, 8);
}

}  // namespace
}  // namespace kelvane

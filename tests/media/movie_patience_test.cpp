// The command line's patience with a movie on a loaded machine: a slow or stalled decoder is
// waited for while it makes progress; one that makes none for the limit is given up on with the
// file and the frame named. The stall is injected before each packet the decoder reads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "media/MovieReader.h"
#include "media/PatientTimeout.h"
#include "media/TimeoutQuery.h"
#include "media/pipeline/MovieDecoder.h"
#include "movie_test_support.h"
#include "platform/Path.h"

namespace kelvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::DecodeIndex;
using testing::MakeMovie;
using testing::MovieSpec;
using testing::U16;

// Key frames only every 100 frames: a frame far in is reached by decoding all before it.
const MovieSpec kLongGop{"patience_clip.avi", "-c:v mpeg4 -g 100 -q:v 4"};

// What each packet read costs, set by each test.
std::atomic<int> packetDelayMs{0};
// One stall of this many milliseconds at the next packet read, then none.
std::atomic<int> oneStallMs{0};
std::atomic<bool> stalledForever{false};

void SlowDisk(const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(packetDelayMs.load()));
    if (const int stall = oneStallMs.exchange(0); stall > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(stall));
    }
    while (stalledForever.load()) {
        std::this_thread::sleep_for(5ms);
    }
}

class MoviePatience : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = MakeMovie(kLongGop);
        if (path_.empty()) {
            GTEST_SKIP() << "no MPEG-4 encoder";
        }
        // The window's question must never come: the policy decides.
        SetTimeoutQuery(&question_);
        ASSERT_TRUE(reader_.Open(U16(path_), 0));
        SetPacketReadHook(SlowDisk);
    }
    void TearDown() override {
        stalledForever = false;  // lets the streaming thread go before the reader closes
        SetPacketReadHook(nullptr);
        SetTimeoutPolicy(nullptr);
        reader_.Close();
        packetDelayMs = 0;
        oneStallMs = 0;
    }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt question_{false};
    testing::ScriptedPrompt console_{false};
    std::string path_;
    MovieReader reader_;
    PixelImage image_;
};

// Counts the timed-out rounds that reach the policy.
struct CountingPolicy : TimeoutPolicy {
    explicit CountingPolicy(TimeoutPolicy& inner) : inner(inner) {}
    bool KeepWaiting(const MovieWait& wait) override {
        ++rounds;
        return inner.KeepWaiting(wait);
    }
    TimeoutPolicy& inner;
    int rounds = 0;
};

TEST_F(MoviePatience, ASlowDecoderIsWaitedForAsLongAsItMakesProgress) {
    // Every round of the wait times out, and the whole fetch takes many times the limit; but
    // pictures keep coming, so it is never given up.
    Settings().abortTimeout = 20;
    packetDelayMs = 80;
    PatientTimeout patience(600ms, console_);
    CountingPolicy counting(patience);
    SetTimeoutPolicy(&counting);
    const auto start = Clock::now();
    ASSERT_TRUE(reader_.GetFrame(40, image_));
    EXPECT_EQ(DecodeIndex(image_), 40);
    EXPECT_GT(Clock::now() - start, 600ms) << "longer than the limit, all told";
    EXPECT_GT(counting.rounds, 5);
    EXPECT_TRUE(console_.errors.empty());
    EXPECT_TRUE(question_.questions.empty());
}

TEST_F(MoviePatience, AMovieThatStallsForFiveSecondsThenGoesOnIsWaitedFor) {
    Settings().abortTimeout = 500;
    oneStallMs = 5000;
    PatientTimeout patience(60s, console_);
    SetTimeoutPolicy(&patience);
    ASSERT_TRUE(reader_.GetFrame(10, image_));
    EXPECT_EQ(DecodeIndex(image_), 10);
    EXPECT_TRUE(console_.errors.empty());
    EXPECT_TRUE(question_.questions.empty());
}

TEST_F(MoviePatience, AMovieThatNeverGoesOnIsGivenUpAfterTheLimitNamingFileAndFrame) {
    Settings().abortTimeout = 250;
    stalledForever = true;
    PatientTimeout patience(2s, console_);
    SetTimeoutPolicy(&patience);
    const auto start = Clock::now();
    EXPECT_FALSE(reader_.GetFrame(30, image_));
    EXPECT_GE(Clock::now() - start, 2s);
    ASSERT_EQ(console_.errors.size(), 1u);
    const std::string& message = console_.errors.front();
    EXPECT_TRUE(message.starts_with("動画の画像の取得がタイムアウトしました。\n" + path_ +
                                    ": フレーム 30 の取得が "))
        << message;
    EXPECT_TRUE(question_.questions.empty());

    // Once the movie moves again, the reader serves it.
    stalledForever = false;
    ASSERT_TRUE(reader_.GetFrame(30, image_));
    EXPECT_EQ(DecodeIndex(image_), 30);
}

}  // namespace
}  // namespace kelvane

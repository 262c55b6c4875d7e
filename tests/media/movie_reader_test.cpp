#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "media/MovieReader.h"
#include "media/TimeoutQuery.h"
#include "movie_test_support.h"

namespace kelvane {
namespace {

using testing::DecodeIndex;
using testing::MakeMovie;
using testing::MovieSpec;

const MovieSpec kH264Mp4{"h264_bframes.mp4",
                         "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 12 -keyint_min 12 "
                         "-sc_threshold 0 -x264-params bframes=3:b-adapt=0 -crf 18"};
const MovieSpec kMjpegAvi{"mjpeg.avi", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"};
const MovieSpec kVp9Webm{"vp9.webm",
                         "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 -b:v 2M"};
const MovieSpec kMpeg2Ts{"mpeg2.ts", "-c:v mpeg2video -bf 2 -g 12 -q:v 2 -f mpegts"};
const MovieSpec kHevcMkv{"hevc.mkv",
                         "-c:v libx265 -preset ultrafast -pix_fmt yuv420p "
                         "-x265-params log-level=none:keyint=12:min-keyint=12:bframes=3"};
const MovieSpec kH264Mov{"h264.mov",
                         "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 25 -bf 2 -crf 18"};
const MovieSpec kH264Mkv{"h264.mkv",
                         "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 12 -bf 3 -crf 18"};
const MovieSpec kHevcMp4{"hevc.mp4",
                         "-c:v libx265 -preset ultrafast -pix_fmt yuv420p -tag:v hvc1 "
                         "-x265-params log-level=none:keyint=24:bframes=2"};
// With sound beside the picture: other streams' packets are passed over.
const MovieSpec kH264AacMp4{"h264_aac.mp4",
                            "-f lavfi -i sine=d=2.4 -c:v libx264 -preset veryfast -pix_fmt yuv420p "
                            "-g 12 -bf 2 -crf 18 -c:a aac"};
const MovieSpec kMpeg2Mp2Ts{"mpeg2_mp2.ts",
                            "-f lavfi -i sine=d=2.4 -c:v mpeg2video -bf 2 -g 15 -q:v 2 -c:a mp2 "
                            "-f mpegts"};
const MovieSpec kDvAvi{"dv.avi", "-c:v dvvideo -pix_fmt yuv420p", 720, 576, 30, 25};

enum class Mode { Default, StepMode, ReferenceTime };

struct Case {
    const MovieSpec* recipe;
    Mode mode;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.recipe->name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
    switch (info.param.mode) {
        case Mode::Default:
            return name + "_default";
        case Mode::StepMode:
            return name + "_step";
        case Mode::ReferenceTime:
            return name + "_reftime";
    }
    return name;
}

class MovieOrders : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        path_ = MakeMovie(*GetParam().recipe);
        if (path_.empty())
            GTEST_SKIP() << "ffmpeg cannot write " << GetParam().recipe->name;
        Settings().readEverySample = GetParam().mode == Mode::StepMode;
        Settings().forceReferenceTime = GetParam().mode == Mode::ReferenceTime;
        SetTimeoutQuery(&prompt_);
        ASSERT_TRUE(reader_.Open(testing::U16(path_), 0));
        ASSERT_EQ(reader_.FrameCount(), uint32_t(GetParam().recipe->frames));
        EXPECT_EQ(reader_.FrameMode(), GetParam().mode != Mode::ReferenceTime);
    }
    void TearDown() override { EXPECT_EQ(int(prompt_.questions.size()), 0); }

    // Reads the frames in the given order; every one must be exactly the frame asked for.
    void ReadInOrder(const std::vector<int>& order) {
        for (int k : order) {
            ASSERT_TRUE(reader_.GetFrame(k, image_)) << "frame " << k;
            ASSERT_EQ(DecodeIndex(image_), k) << "frame " << k;
        }
    }
    int Count() const { return GetParam().recipe->frames; }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
    std::string path_;
    MovieReader reader_;
    PixelImage image_;
};

TEST_P(MovieOrders, ForwardsFromTheStartNeverSeeks) {
    std::vector<int> order(static_cast<size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        order[size_t(i)] = i;
    ReadInOrder(order);
    EXPECT_EQ(reader_.Graph()->SeekCount(), 1u);  // the one of Open
}

TEST_P(MovieOrders, Backwards) {
    std::vector<int> order;
    for (int i = Count() - 1; i >= 0; --i)
        order.push_back(i);
    ReadInOrder(order);
}

TEST_P(MovieOrders, RandomOrderAndRepeats) {
    std::vector<int> order;
    for (int i = 0; i < Count(); ++i)
        order.push_back(i);
    std::mt19937 random(1234);
    std::shuffle(order.begin(), order.end(), random);
    order.insert(order.begin() + 5, order[4]);  // the same frame twice in a row
    ReadInOrder(order);
}

TEST_P(MovieOrders, JumpingAsWhileScrubbing) {
    const int last = Count() - 1;
    std::vector<int> order{
        0, last, last - 1, 1,  last / 2, last / 2 + 3, last / 2 - 7, 12, 11, 24, 23, 13, 2, last,
        0, 3,    9,        10, 22};
    for (int& k : order)
        k = std::min(k, last);
    ReadInOrder(order);
}

const MovieSpec* const kAllSpecs[] = {&kH264Mp4, &kH264Mov,    &kH264Mkv,   &kMjpegAvi,
                                      &kVp9Webm, &kMpeg2Ts,    &kHevcMkv,   &kHevcMp4,
                                      &kDvAvi,   &kH264AacMp4, &kMpeg2Mp2Ts};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const MovieSpec* s : kAllSpecs)
        for (Mode m : {Mode::Default, Mode::StepMode, Mode::ReferenceTime})
            cases.push_back({s, m});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, MovieOrders, ::testing::ValuesIn(AllCases()), CaseName);

// Window and seek decisions, observed through the graph's seeks.
class MovieWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = MakeMovie(kH264Mp4);
        if (path_.empty())
            GTEST_SKIP() << "no H.264 encoder";
        SetTimeoutQuery(&prompt_);
    }
    void Open() { ASSERT_TRUE(reader_.Open(testing::U16(path_), 0)); }
    void Read(int k) {
        ASSERT_TRUE(reader_.GetFrame(k, image_)) << k;
        ASSERT_EQ(DecodeIndex(image_), k);
    }
    uint64_t Seeks() const { return reader_.Graph()->SeekCount(); }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
    std::string path_;
    MovieReader reader_;
    PixelImage image_;
};

TEST_F(MovieWindow, NearAheadDecodesForwardFarAheadAndBehindSeek) {
    Open();
    Read(35);
    const uint64_t afterFirst = Seeks();
    Read(45);  // FramePrev 10 ahead of the held 36
    EXPECT_EQ(Seeks(), afterFirst);
    Read(59);  // 13 ahead of the held 46
    EXPECT_EQ(Seeks(), afterFirst + 1);
    Read(5);  // behind
    EXPECT_EQ(Seeks(), afterFirst + 2);
    EXPECT_EQ(reader_.Graph()->LastSeekStart(), 5);
}

TEST_F(MovieWindow, StepModeSeeksFrameBackBeforeTheTargetInBothPositionModes) {
    Settings().readEverySample = 1;
    for (int force : {0, 1}) {
        Settings().forceReferenceTime = force;
        Open();
        const int64_t unit = force ? reader_.FrameDuration() : 1;
        Read(40);
        EXPECT_EQ(reader_.Graph()->LastSeekStart(), 25 * unit);
        Read(10);
        EXPECT_EQ(reader_.Graph()->LastSeekStart(), 0);
        reader_.Close();
    }
}

TEST_F(MovieWindow, IndexOutsideTheStreamFailsWithoutSeeking) {
    Open();
    const uint64_t seeks = Seeks();
    EXPECT_FALSE(reader_.ReadFrame(60, nullptr, 0, false));
    EXPECT_FALSE(reader_.ReadFrame(-1, nullptr, 0, false));
    EXPECT_EQ(Seeks(), seeks);
}

TEST_F(MovieWindow, ReferenceFrameDuration) {
    // Frame numbers keep naming the stream's own frames.
    ASSERT_TRUE(reader_.Open(testing::U16(path_), 200000));
    EXPECT_EQ(reader_.FrameDuration(), 200000);
    EXPECT_EQ(reader_.FrameCount(), 60u);
    Read(7);
    // By media time, twice as many frames of half the length: frame 2j shows frame j, and the
    // frame between falls back to the nearest one before it.
    Settings().forceReferenceTime = 1;
    ASSERT_TRUE(reader_.Open(testing::U16(path_), 200000));
    EXPECT_EQ(reader_.FrameCount(), 120u);
    ASSERT_TRUE(reader_.GetFrame(30, image_));
    EXPECT_EQ(DecodeIndex(image_), 15);
    EXPECT_TRUE(reader_.GetFrame(33, image_));
    EXPECT_EQ(DecodeIndex(image_), 16);
    // Zero falls back to the stream's duration.
    ASSERT_TRUE(reader_.Open(testing::U16(path_), 0));
    EXPECT_EQ(reader_.FrameDuration(), 400000);
    EXPECT_EQ(reader_.FrameCount(), 60u);
}

TEST_F(MovieWindow, CopyNeverExceedsTheDestination) {
    Open();
    ASSERT_TRUE(reader_.GetFrame(3, image_));
    const size_t size = image_.ByteSize();
    // A destination larger than a frame is refused; a smaller one gets exactly its size.
    std::vector<uint8_t> big(size + 4096, 0xAB);
    EXPECT_FALSE(reader_.ReadFrame(20, big.data(), big.size(), false));
    std::vector<uint8_t> small(size / 2 + 16, 0xCD);
    small.back() = 0x5A;
    EXPECT_TRUE(reader_.ReadFrame(21, small.data(), small.size() - 16, false));
    EXPECT_EQ(small.back(), 0x5A);
}

TEST_F(MovieWindow, ReopensAfterClose) {
    Open();
    Read(10);
    reader_.Close();
    EXPECT_FALSE(reader_.IsOpen());
    EXPECT_FALSE(reader_.GetFrame(0, image_));
    Open();
    Read(50);
    Read(0);
}

}  // namespace
}  // namespace kelvane

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
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
using testing::U16;

const MovieSpec kClip{"failure_clip.mp4",
                      "-c:v libx264 -preset veryfast -pix_fmt yuv420p -g 12 -keyint_min 12 "
                      "-sc_threshold 0 -x264-params bframes=2 -crf 18"};
const MovieSpec kClipTs{"failure_clip.ts", "-c:v mpeg2video -bf 2 -g 12 -q:v 2 -f mpegts"};

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

std::string WriteFile(const std::string& name, const std::vector<char>& bytes) {
    const std::string path = testing::TempPath(name);
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

class MovieTimeout : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = MakeMovie(kClip);
        if (path_.empty())
            GTEST_SKIP() << "no H.264 encoder";
        Settings().abortTimeout = 100;
        Settings().frameNext = 5;
        SetTimeoutQuery(&prompt_);
        ASSERT_TRUE(reader_.Open(U16(path_), 0));
        // The pipeline now runs from 20 up to 25 only; 28 is within FramePrev of what it holds.
        ASSERT_TRUE(reader_.GetFrame(20, image_));
        ASSERT_EQ(DecodeIndex(image_), 20);
    }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
    std::string path_;
    MovieReader reader_;
    PixelImage image_;
};

TEST_F(MovieTimeout, NoAbortsTheFetch) {
    EXPECT_FALSE(reader_.GetFrame(28, image_));
    EXPECT_EQ(int(prompt_.questions.size()), 1);
    EXPECT_EQ(prompt_.questions.back(), "動画の画像の取得がタイムアウトしました。続行しますか？");
    // The reader stays usable.
    ASSERT_TRUE(reader_.GetFrame(3, image_));
    EXPECT_EQ(DecodeIndex(image_), 3);
}

TEST_F(MovieTimeout, YesWaitsAnotherRound) {
    prompt_.answers = {true, true, false};
    EXPECT_FALSE(reader_.GetFrame(28, image_));
    EXPECT_EQ(int(prompt_.questions.size()), 3);
}

TEST_F(MovieTimeout, WithoutATargetTheWaitGivesUp) {
    SetTimeoutQuery(nullptr);
    EXPECT_FALSE(reader_.GetFrame(28, image_));
    EXPECT_EQ(int(prompt_.questions.size()), 0);
}

TEST_F(MovieTimeout, AStopRightAtTheTargetStillDeliversIt) {
    Settings().frameNext = 0;
    for (int k : {50, 10, 40}) {
        ASSERT_TRUE(reader_.GetFrame(k, image_)) << k;
        EXPECT_EQ(DecodeIndex(image_), k);
    }
    EXPECT_EQ(int(prompt_.questions.size()), 0);
}

// Close must come back while the streaming thread sits in the sink, even when the streaming side
// has no time limit at all. A hang shows as a test that does not finish, caught by the watchdog.
class MovieClose : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = MakeMovie(kClip);
        if (path_.empty())
            GTEST_SKIP() << "no H.264 encoder";
        Settings().callbackTimeout = -1;
    }
    static bool FinishesInTime(std::future<void>& f) {
        return f.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    }

    testing::SettingsGuard settings_;
    std::string path_;
};

TEST_F(MovieClose, WhileTheStreamingThreadIsBlockedInTheSink) {
    auto reader = std::make_unique<MovieReader>();
    ASSERT_TRUE(reader->Open(U16(path_), 0));
    PixelImage image;
    ASSERT_TRUE(reader->GetFrame(30, image));
    // Give the streaming thread time to decode the next frame and block on the full slot.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto closing = std::async(std::launch::async, [&] { reader->Close(); });
    ASSERT_TRUE(FinishesInTime(closing));
    EXPECT_FALSE(reader->IsOpen());
    EXPECT_EQ(reader->Graph(), nullptr);
    // Destruction of an open reader closes it the same way.
    ASSERT_TRUE(reader->Open(U16(path_), 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto destroying = std::async(std::launch::async, [&] { reader.reset(); });
    ASSERT_TRUE(FinishesInTime(destroying));
}

TEST_F(MovieClose, RightAfterOpenAndTwice) {
    MovieReader reader;
    ASSERT_TRUE(reader.Open(U16(path_), 0));
    auto closing = std::async(std::launch::async, [&] {
        reader.Close();
        reader.Close();
    });
    ASSERT_TRUE(FinishesInTime(closing));
}

uint32_t BeforeTheLast(const MovieReader& reader, uint32_t n) {
    return reader.FrameCount() > n ? reader.FrameCount() - n : 0;
}

class MovieMalformed : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings().abortTimeout = 100;
        SetTimeoutQuery(&prompt_);
    }
    // Reads every frame: none may crash. Below `intactBelow`, a frame reported as read must be
    // the right one; damaged pictures are whatever the decoder's concealment makes of them.
    void ReadAllFrames(MovieReader& reader, uint32_t intactBelow) {
        PixelImage image;
        for (uint32_t k = 0; k < reader.FrameCount(); ++k)
            if (reader.GetFrame(int32_t(k), image) && k < intactBelow) {
                const int shown = DecodeIndex(image);
                EXPECT_TRUE(shown == int(k) || shown == -1) << k << " shows " << shown;
            }
    }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
};

TEST_F(MovieMalformed, FilesThatAreNoMovieFailToOpen) {
    std::mt19937 random(7);
    std::vector<char> noise(100000);
    for (char& c : noise)
        c = char(random());
    const std::string textPath = WriteFile("text.avi", {'h', 'e', 'l', 'l', 'o', '\n'});
    const std::string noisePath = WriteFile("noise.mp4", noise);
    const std::string emptyPath = WriteFile("empty.mkv", {});
    const std::string audioPath = testing::TempPath("tone.wav");
    std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=d=0.5 '" + audioPath +
                 "' 2>/dev/null")
                    .c_str());
    MovieReader reader;
    for (const std::string& p :
         {textPath, noisePath, emptyPath, audioPath, testing::TempPath("missing.mp4")}) {
        EXPECT_FALSE(reader.Open(U16(p), 0)) << p;
        EXPECT_FALSE(reader.IsOpen());
        PixelImage image;
        EXPECT_FALSE(reader.GetFrame(0, image));
    }
}

TEST_F(MovieMalformed, TruncatedAndDamagedMoviesFailCleanly) {
    const std::string mp4 = MakeMovie(kClip);
    const std::string ts = MakeMovie(kClipTs);
    if (mp4.empty() || ts.empty())
        GTEST_SKIP() << "encoders missing";
    std::vector<char> bytes = ReadAll(mp4);
    MovieReader reader;
    // An MP4 cut in half loses its index at the end.
    std::vector<char> half(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));
    if (reader.Open(U16(WriteFile("half.mp4", half)), 0))
        ReadAllFrames(reader, BeforeTheLast(reader, 4));
    reader.Close();

    // Damage in the middle of the stream costs frames, not the program.
    std::vector<char> damaged = bytes;
    std::mt19937 random(3);
    for (size_t i = damaged.size() / 3; i < damaged.size() / 3 + 400; ++i)
        damaged[i] = char(random());
    if (reader.Open(U16(WriteFile("damaged.mp4", damaged)), 0))
        ReadAllFrames(reader, 0);
    reader.Close();

    std::vector<char> tsBytes = ReadAll(ts);
    std::vector<char> cut(tsBytes.begin(),
                          tsBytes.begin() + std::ptrdiff_t(tsBytes.size() * 3 / 5));
    ASSERT_TRUE(reader.Open(U16(WriteFile("cut.ts", cut)), 0));
    EXPECT_LT(reader.FrameCount(), 60u);
    // The pictures next to the cut may miss data or references.
    ReadAllFrames(reader, BeforeTheLast(reader, 4));
    std::vector<char> tsDamaged = tsBytes;
    for (size_t i = tsDamaged.size() / 2; i < tsDamaged.size() / 2 + 2000; ++i)
        tsDamaged[i] = char(random());
    if (reader.Open(U16(WriteFile("damaged.ts", tsDamaged)), 0))
        ReadAllFrames(reader, 0);
}

TEST_F(MovieMalformed, ScatteredDamageInEveryContainer) {
    const MovieSpec recipes[] = {
        kClip,
        kClipTs,
        {"failure_clip.avi", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
        {"failure_clip.webm", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 -b:v 1M"}};
    std::mt19937 random(11);
    int exercised = 0;  // damaged files that opened and were read
    for (const MovieSpec& recipe : recipes) {
        const std::string path = MakeMovie(recipe);
        if (path.empty())
            continue;
        const std::vector<char> bytes = ReadAll(path);
        for (int variant = 0; variant < 4; ++variant) {
            std::vector<char> damaged = bytes;
            for (int hit = 0; hit < 24; ++hit)
                damaged[random() % damaged.size()] = char(random());
            MovieReader reader;
            if (!reader.Open(U16(WriteFile("scattered_" + std::string(recipe.name), damaged)), 0))
                continue;
            ++exercised;
            PixelImage image;
            for (int k : {0, 40, 5, 59, 30, 31, 12})
                reader.GetFrame(k, image);  // any result; no crash, no hang
        }
    }
    // A run that could make or open no damaged file has checked nothing.
    EXPECT_GT(exercised, 0) << "no damaged movie could be made or opened";
}

}  // namespace
}  // namespace kelvane

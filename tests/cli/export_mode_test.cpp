#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "CliTestFixture.h"
#include "InterruptWhenGrown.h"
#include "export/AviProbe.h"

namespace kelvane::testing {
namespace {

using namespace std::chrono_literals;

class ExportModeTest : public CliTest {
  protected:
    // A picture that moves by interpolation from frame 0 to frame 4 and then stands still, over
    // a second one on a lower track.
    void WriteMovingProject(uint32_t width, uint32_t height, uint32_t length) {
        WriteBmp24(Path("a.bmp"), a_);
        WriteBmp24(Path("b.bmp"), b_);
        auto project = MakeProject(width, height, length, 0x00204080);
        AddPicture(*project, 1, u"\\a.bmp");
        AddPicture(*project, 2, u"\\b.bmp");
        TrackEvent from = PlacedEvent(*project, 1, 0, a_.width, a_.height, 1, 1);
        from.flags |= kEventInterpolate;
        AddEvents(*project, 5,
                  {from, PlacedEvent(*project, 1, 4, a_.width, a_.height, 13, 7),
                   PlacedEvent(*project, 1, 5, a_.width, a_.height, 2, 9)});
        AddEvents(*project, 2, {PlacedEvent(*project, 2, 0, b_.width, b_.height, 6, 3)});
        WriteProject(*project, Path("p.xqm"));
    }

    // The frame as the frame mode saves it, top-down without the fourth byte.
    std::vector<uint32_t> SavedFrame(uint32_t frame) {
        const ToolRun run =
            Tool().Run({File("p.xqm"), "--frame", std::to_string(frame), "-o", File("frame.bmp")});
        EXPECT_EQ(run.status, 0) << run.err;
        const SavedBmp bmp = ReadSavedBmp(Path("frame.bmp"));
        EXPECT_TRUE(bmp.valid) << bmp.problem;
        return bmp.pixels;
    }

    DecodedVideo Decode(const std::string& name) {
        DecodedVideo video;
        std::string error;
        EXPECT_TRUE(DecodeAvi(Path(name), video, error)) << error;
        return video;
    }

    TestPicture a_ = PatternPicture(7, 5, 3);
    TestPicture b_ = PatternPicture(10, 8, 4);
};

TEST_F(ExportModeTest, EveryFrameIsWrittenAsTheFrameModeRendersIt) {
    WriteMovingProject(24, 18, 7);
    ToolRun run = Tool().Run({File("p.xqm"), "-o", File("out.avi")});
    ASSERT_EQ(run.status, 0) << run.err;
    // Not a terminal: the final progress line is logged.
    EXPECT_NE(run.err.find("フレーム 7/7"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("進捗度 100%"), std::string::npos) << run.err;

    StreamHeader header;
    ASSERT_TRUE(ReadStreamHeader(Path("out.avi"), header));
    EXPECT_EQ(header.length, 7u);
    EXPECT_EQ(uint64_t(header.rate) * 10000, uint64_t(300000) * header.scale) << "30 fps";
    const DecodedVideo raw = Decode("out.avi");
    EXPECT_EQ(raw.width, 24);
    EXPECT_EQ(raw.height, 18);
    ASSERT_EQ(raw.frames.size(), 7u);
    // The export evaluates the tracks frame after frame without a reset; the frame mode resets
    // and jumps. Both must give the same pictures, the interpolated ones included.
    for (uint32_t n = 0; n < 7; ++n) {
        EXPECT_EQ(raw.frames[n], SavedFrame(n)) << "frame " << n;
    }
    EXPECT_NE(raw.frames[0], raw.frames[2]);

    run = Tool().Run({File("p.xqm"), "-o", File("ffv1.avi"), "--codec", "ffv1"});
    ASSERT_EQ(run.status, 0) << run.err;
    const DecodedVideo lossless = Decode("ffv1.avi");
    EXPECT_EQ(lossless.codec, "ffv1");
    EXPECT_EQ(lossless.frames, raw.frames);

    run = Tool().Run({File("p.xqm"), "-o", File("mjpeg.avi"), "--codec=mjpeg"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(CountPackets(Path("mjpeg.avi")), 7);
}

TEST_F(ExportModeTest, AFileThatCannotBeOpenedFails) {
    WriteMovingProject(16, 16, 2);
    const ToolRun run = Tool().Run({File("p.xqm"), "-o", File("no-such-folder/out.avi")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ファイルが開けません。"), std::string::npos) << run.err;
}

TEST_F(ExportModeTest, InterruptLeavesAValidFileWithTheFramesSoFar) {
    constexpr uint32_t kLength = 20000;
    WriteMovingProject(320, 240, kLength);
    const std::filesystem::path out = Path("out.avi");
    bool signalled = false;
    const ToolRun run =
        Tool().Run({File("p.xqm"), "-o", out.string(), "--codec", "mjpeg"},
                   [&](pid_t pid) { signalled = InterruptWhenGrown(pid, out, 256 * 1024); });
    ASSERT_TRUE(signalled);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("エラーまたはキャンセル操作によって中断されました。"), std::string::npos)
        << run.err;

    StreamHeader header;
    ASSERT_TRUE(ReadStreamHeader(out, header));
    const DecodedVideo video = Decode("out.avi");
    EXPECT_GT(video.frames.size(), 0u);
    EXPECT_LT(video.frames.size(), kLength);
    EXPECT_EQ(header.length, video.frames.size()) << "the headers tell the frames written";
    EXPECT_EQ(CountPackets(out), int64_t(video.frames.size()));
}

}  // namespace
}  // namespace kelvane::testing

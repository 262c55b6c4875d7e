#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "CliTestFixture.h"
#include "export/AviProbe.h"
#include "export/AviWriter.h"
#include "export/CompressorChooser.h"

namespace kelvane::testing {
namespace {

constexpr uint32_t kLength = 14;

// A project whose movie is cut off part-way: the frames past the cut cannot be fetched, each
// fetch waits out "AbortTimeout" (set to its minimum for the runs) and asks whether to go on.
class DrawErrorTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        AviWriter writer;
        NamedCompressorChooser chooser("mjpeg");
        ASSERT_TRUE(writer.ChooseCompressor(chooser));
        writer.Initialise();
        PixelImage frames[2];
        ASSERT_TRUE(frames[0].Create(32, 24));
        ASSERT_TRUE(frames[1].Create(32, 24));
        ASSERT_TRUE(writer.Open(frames[0].Header(), File("whole.avi"), 30, 1));
        for (uint32_t i = 0; i < 30; ++i) {
            PaintTestFrame(frames[i & 1], i);
            ASSERT_TRUE(writer.WriteFrame(frames[i & 1].Pixels(), frames[i & 1].ByteSize(),
                                          frames[(i & 1) ^ 1].Pixels(), i));
        }
        writer.Close();
        const auto size = std::filesystem::file_size(Path("whole.avi"));
        std::filesystem::copy_file(Path("whole.avi"), Path("cut.avi"));
        std::filesystem::resize_file(Path("cut.avi"), size * 2 / 5);

        auto project = MakeProject(32, 24, kLength, 0x00112233);
        FileEntry& movie = project->files[0];
        movie.kind = FileKind::Movie;
        CopyPath(movie.path, u"\\cut.avi");
        movie.colour = kNoTransparentColour;
        AddEvents(*project, 0, {PlacedEvent(*project, 0, 0, 32, 24, 0, 0)});
        WriteProject(*project, Path("p.xqm"));
    }

    ToolRun Export(const std::string& out, bool abortOnDrawError) {
        std::vector<std::string> args{File("p.xqm"), "-o", File(out), "--set", "AbortTimeout=100"};
        if (abortOnDrawError) {
            args.push_back("--abort-on-draw-error");
        }
        return Tool().Run(args);
    }

    size_t FramesIn(const std::string& name) {
        DecodedVideo video;
        std::string error;
        EXPECT_TRUE(DecodeAvi(Path(name), video, error)) << error;
        StreamHeader header;
        EXPECT_TRUE(ReadStreamHeader(Path(name), header));
        EXPECT_EQ(header.length, video.frames.size());
        return video.frames.size();
    }
};

TEST_F(DrawErrorTest, FailedFetchesAreWrittenAsDrawnUnlessTheRunIsToAbort) {
    // A fetch of a frame that the movie cannot deliver is not waited for: its pipeline has sent
    // everything it will.
    ToolRun run = Export("goes-on.avi", false);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("動画の画像の取得がタイムアウトしました。\n" + File("cut.avi") +
                           ": フレーム "),
              std::string::npos)
        << run.err;
    EXPECT_EQ(FramesIn("goes-on.avi"), kLength);

    run = Export("stops.avi", true);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("エラーまたはキャンセル操作によって中断されました。"), std::string::npos)
        << run.err;
    const size_t written = FramesIn("stops.avi");
    EXPECT_GT(written, 0u) << "the frames before the cut";
    EXPECT_LT(written, kLength);
}

TEST_F(DrawErrorTest, AFrameThatFailsToDrawIsNotSaved) {
    ToolRun run = Tool().Run({File("p.xqm"), "--frame", "0", "-o", File("first.bmp")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadSavedBmp(Path("first.bmp")).valid);

    run = Tool().Run({File("p.xqm"), "--frame", std::to_string(kLength - 1), "-o", File("late.bmp"),
                      "--set", "AbortTimeout=100"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("描画に失敗しました。"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("保存に失敗しました。"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("late.bmp")));
}

// The stop in an MP4 file: it reads back with exactly the frames the tool reports written.
TEST_F(DrawErrorTest, AnAbortLeavesAnMp4FileWithTheFramesWritten) {
    const ToolRun run = Export("stops.mp4", true);
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string mark = "フレーム ";
    const size_t at = run.err.rfind(mark);
    ASSERT_NE(at, std::string::npos) << run.err;
    const int written = std::stoi(run.err.substr(at + mark.size()));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, int(kLength));
    const std::string command =
        "ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" +
        File("stops.mp4") + "'";
    std::string frames;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[64] = {};
        frames = std::fgets(buffer, sizeof buffer, pipe) != nullptr ? buffer : "";
        ::pclose(pipe);
    }
    EXPECT_EQ(frames, std::to_string(written) + "\n");
}

}  // namespace
}  // namespace kelvane::testing

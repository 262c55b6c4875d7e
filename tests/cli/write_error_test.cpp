#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "CliTestFixture.h"
#include "export/AviProbe.h"

namespace kelvane::testing {
namespace {

// The frames ffprobe reads from the file's video stream; -1 when it cannot read the file.
int64_t FfprobeFrames(const std::filesystem::path& path) {
    const std::string command =
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
        "-of csv=p=0 '" +
        path.string() + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = ::pclose(pipe);
    return read && status == 0 ? std::strtoll(line, nullptr, 10) : -1;
}

// Root passes every permission check: a run that must meet one goes as nobody.
std::vector<std::string> AsOrdinaryUser() {
    if (::geteuid() != 0) {
        return {};
    }
    return {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
}

class WriteErrorTest : public CliTest {
  protected:
    // Twelve 64 x 48 frames, each with a picture elsewhere, so that every frame differs.
    void WriteProjectFile() {
        WriteBmp24(Path("a.bmp"), PatternPicture(9, 7, 5));
        auto project = MakeProject(64, 48, 12, 0x00406080);
        AddPicture(*project, 1, u"\\a.bmp");
        std::vector<TrackEvent> events;
        for (uint32_t n = 0; n < 12; ++n) {
            events.push_back(PlacedEvent(*project, 1, n, 9, 7, float(n * 4), float(n * 3)));
        }
        AddEvents(*project, 0, events);
        WriteProject(*project, Path("p.xqm"));
    }

    // The whole export without a limit, and where each of its frames ends in the file.
    std::vector<uint64_t> ReferenceExport(const std::string& codec) {
        const ToolRun run = Tool().Run({File("p.xqm"), "-o", File("ref.avi"), "--codec", codec});
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<uint64_t> ends;
        for (const RiffChunk& chunk : ReadRiffChunks(Path("ref.avi"))) {
            if (chunk.id == "00db" || chunk.id == "00dc") {
                ends.push_back(chunk.dataOffset + chunk.size + (chunk.size & 1));
            }
        }
        EXPECT_EQ(ends.size(), 12u);
        return ends;
    }

    // The file is a finished AVI file: RIFF size, index and frame count agree with each other
    // and with ffprobe, and its frames are the reference's first ones. Returns the frame count.
    int64_t ExpectFinished(const std::string& name) {
        const std::filesystem::path path = Path(name);
        const std::vector<RiffChunk> chunks = ReadRiffChunks(path);
        EXPECT_FALSE(chunks.empty());
        if (chunks.empty()) {
            return -1;
        }
        EXPECT_EQ(uint64_t(chunks.front().size) + 8, std::filesystem::file_size(path));
        int64_t frames = 0;
        uint32_t indexBytes = 0;
        for (const RiffChunk& chunk : chunks) {
            frames += chunk.id == "00db" || chunk.id == "00dc";
            indexBytes = chunk.id == "idx1" ? chunk.size : indexBytes;
        }
        EXPECT_EQ(indexBytes, 16 * frames) << "every frame in the index";
        StreamHeader header;
        EXPECT_TRUE(ReadStreamHeader(path, header));
        EXPECT_EQ(header.length, frames);
        EXPECT_EQ(FfprobeFrames(path), frames);

        DecodedVideo cut;
        DecodedVideo whole;
        std::string error;
        EXPECT_TRUE(DecodeAvi(path, cut, error)) << error;
        EXPECT_TRUE(DecodeAvi(Path("ref.avi"), whole, error)) << error;
        EXPECT_EQ(int64_t(cut.frames.size()), frames);
        for (size_t n = 0; n < cut.frames.size() && n < whole.frames.size(); ++n) {
            EXPECT_EQ(cut.frames[n], whole.frames[n]) << "frame " << n;
        }
        return frames;
    }
};

// A file size limit stands for a full disk: the same write error at a point the test chooses.
TEST_F(WriteErrorTest, AnExportCutShortByTheFileSizeLimitSaysWhyAndKeepsEveryCompleteFrame) {
    WriteProjectFile();
    struct Case {
        const char* codec;
        // Where the limit falls: `extra` bytes past the end of frame `after`, or halfway into the
        // frame after it when `extra` is negative.
        int after;
        int64_t extra;
        int64_t frames;
        const char* what;
    };
    const Case cases[] = {
        {"uncompressed", 5, -1, 6, "the frames before the cut and their index fit"},
        {"uncompressed", 5, 0, 5, "the index needs the room of the last frame"},
        {"uncompressed", 11, 20, 11, "every frame fits but the index does not"},
        {"mjpeg", 5, -1, 6, "the frames before the cut and their index fit"},
        {"mjpeg", 5, 0, 5, "the index needs the room of the last frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codec) + ": " + c.what);
        const std::vector<uint64_t> ends = ReferenceExport(c.codec);
        ASSERT_EQ(ends.size(), 12u);
        const uint64_t end = ends[size_t(c.after)];
        const uint64_t limit =
            c.extra >= 0 ? end + uint64_t(c.extra) : end + (ends[size_t(c.after) + 1] - end) / 2;
        const std::string out = File("cut.avi");
        const ToolRun run = Tool().RunThrough({"prlimit", "--fsize=" + std::to_string(limit)},
                                              {File("p.xqm"), "-o", out, "--codec", c.codec});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("エラー: エラーまたはキャンセル操作によって中断されました。\n" +
                               out + ": ファイルの大きさが上限を超えました。" +
                               "書き出したファイルには先頭の " + std::to_string(c.frames) +
                               " フレームが入っています。\n"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(ExpectFinished("cut.avi"), c.frames);
    }
}

TEST_F(WriteErrorTest, AnExportOntoAFullDiskSaysSoAndKeepsEveryCompleteFrame) {
    WriteProjectFile();
    ReferenceExport("uncompressed");
    // A 64 KiB file system in a mount namespace of the tool's own; it holds about five frames.
    const std::string disk = File("disk");
    std::filesystem::create_directories(disk);
    const std::string script = "mount -t tmpfs -o size=64k tmpfs '" + disk +
                               "' 2>/dev/null || exit 77; \"$@\"; s=$?; cp '" + disk +
                               "/out.avi' '" + File("full.avi") + "'; exit $s";
    const ToolRun run = Tool().RunThrough({"unshare", "-rm", "sh", "-c", script, "sh"},
                                          {File("p.xqm"), "-o", disk + "/out.avi"});
    if (run.status == 77) {
        GTEST_SKIP() << "this machine does not let a test mount a small file system";
    }
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("エラーまたはキャンセル操作によって中断されました。\n" + disk +
                           "/out.avi: ディスクに空き領域がありません。"),
              std::string::npos)
        << run.err;
    const int64_t frames = ExpectFinished("full.avi");
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 12);
}

TEST_F(WriteErrorTest, FilesThatCannotBeWrittenAreNamedWithTheReason) {
    WriteProjectFile();
    std::filesystem::create_directories(Path("closed"));
    std::filesystem::permissions(Path("closed"), std::filesystem::perms(0555));
    struct Case {
        std::vector<std::string> wrapper;
        std::vector<std::string> args;
        std::string message;
        std::string file;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{},
         {File("p.xqm"), "-o", File("nowhere/out.avi")},
         "ファイルが開けません。",
         File("nowhere/out.avi"),
         "フォルダーが見つかりません。"},
        {AsOrdinaryUser(),
         {File("p.xqm"), "-o", File("closed/out.avi")},
         "ファイルが開けません。",
         File("closed/out.avi"),
         "アクセスが拒否されました。"},
        {{"prlimit", "--fsize=1000"},
         {File("p.xqm"), "--frame", "3", "-o", File("frame.bmp")},
         "保存に失敗しました。",
         File("frame.bmp"),
         "ファイルの大きさが上限を超えました。"},
        {{},
         {File("missing.xqm"), "-o", File("out.avi")},
         "読み込みに失敗しました。",
         File("missing.xqm"),
         "ファイルが見つかりません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ToolRun run =
            c.wrapper.empty() ? Tool().Run(c.args) : Tool().RunThrough(c.wrapper, c.args);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("エラー: " + c.message + "\n" + c.file + ": " + c.reason + "\n"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(std::filesystem::exists(c.file)) << "nothing half-written is left";
    }
}

}  // namespace
}  // namespace kelvane::testing

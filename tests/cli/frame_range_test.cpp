#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "CliTestFixture.h"
#include "LayeredProject.h"
#include "export/AviProbe.h"

namespace kelvane::testing {
namespace {

std::vector<char> Bytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class FrameRangeTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        project_ = WriteLayeredProject(Path("")).string();
    }

    void Export(const std::string& out, const std::vector<std::string>& extra) {
        std::vector<std::string> args{project_, "-o", File(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolRun run = Tool().Run(args);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    ToolRun Join(const std::string& out, const std::vector<std::string>& parts) {
        std::vector<std::string> args{"--join", File(out)};
        for (const auto& part : parts) {
            args.push_back(File(part));
        }
        return Tool().Run(args);
    }
    DecodedVideo Decode(const std::string& name) {
        DecodedVideo video;
        std::string error;
        EXPECT_TRUE(DecodeAvi(Path(name), video, error)) << error;
        return video;
    }

    std::string project_;
};

// Parts that start inside the interpolations, inside the movie's groups of pictures and inside
// the nested project's span, given in any order, join into the file that one export writes.
TEST_F(FrameRangeTest, PartsJoinIntoTheWholeExport) {
    const std::vector<std::string> ranges = {"0-6", "7-7", "8-16", "17-23"};
    for (const std::string codec : {"uncompressed", "ffv1"}) {
        SCOPED_TRACE(codec);
        Export(codec + "-full.avi", {"--codec", codec});
        std::vector<std::string> parts;
        for (const std::string& range : ranges) {
            parts.push_back(codec + "-" + range + ".avi");
            Export(parts.back(), {"--frames", range, "--codec", codec});
        }
        const DecodedVideo single = Decode(codec + "-7-7.avi");
        EXPECT_EQ(single.frames.size(), 1u);
        // The part says what it holds in the INFO list.
        std::string comment;
        for (const RiffChunk& chunk : ReadRiffChunks(Path(codec + "-7-7.avi"))) {
            if (chunk.id == "ICMT") {
                const std::vector<uint8_t> data = ReadChunkData(Path(codec + "-7-7.avi"), chunk);
                comment.assign(data.begin(), data.end());
            }
        }
        EXPECT_NE(comment.find("project: " + project_ + "\n"), std::string::npos) << comment;
        EXPECT_NE(comment.find("frames: 7-7 of 24\n"), std::string::npos) << comment;
        EXPECT_NE(comment.find("codec: " + codec + "\n"), std::string::npos) << comment;
        std::swap(parts[0], parts[2]);
        const ToolRun run = Join(codec + "-joined.avi", parts);
        ASSERT_EQ(run.status, 0) << run.err;

        const DecodedVideo full = Decode(codec + "-full.avi");
        const DecodedVideo joined = Decode(codec + "-joined.avi");
        ASSERT_EQ(full.frames.size(), kLayeredProjectLength);
        EXPECT_EQ(joined.frames, full.frames);
        EXPECT_EQ(joined.timeBaseNum * full.timeBaseDen, full.timeBaseNum * joined.timeBaseDen);
        EXPECT_NE(full.frames[3], full.frames[4]) << "the movie and the interpolation move";
        StreamHeader header;
        ASSERT_TRUE(ReadStreamHeader(Path(codec + "-joined.avi"), header));
        EXPECT_EQ(header.length, kLayeredProjectLength);
        StreamHeader fullHeader;
        ASSERT_TRUE(ReadStreamHeader(Path(codec + "-full.avi"), fullHeader));
        EXPECT_EQ(header.rate, fullHeader.rate);
        EXPECT_EQ(header.scale, fullHeader.scale);
        EXPECT_EQ(header.handler, fullHeader.handler);
        if (codec == "uncompressed") {
            // Same frames, same headers, same record of project and range: the same bytes.
            EXPECT_EQ(Bytes(Path(codec + "-joined.avi")), Bytes(Path(codec + "-full.avi")));
        }
    }
}

// Uncompressed frames reach the file with their fourth bytes opaque, and a join makes them so in
// parts written before that (fourth bytes 0), so that tools reading BGRA see the whole picture.
TEST_F(FrameRangeTest, UncompressedFramesAndJoinsAreOpaque) {
    Export("a.avi", {"--frames", "0-6"});
    Export("b.avi", {"--frames", "7-23"});
    auto frameChunks = [](const std::filesystem::path& path) {
        std::vector<RiffChunk> frames;
        for (const RiffChunk& c : ReadRiffChunks(path)) {
            if (c.id == "00db" || c.id == "00dc") {
                frames.push_back(c);
            }
        }
        return frames;
    };
    auto allOpaque = [&](const std::filesystem::path& path) {
        const std::vector<RiffChunk> frames = frameChunks(path);
        bool opaque = !frames.empty();
        for (const RiffChunk& c : frames) {
            const std::vector<uint8_t> bytes = ReadChunkData(path, c);
            for (size_t i = 3; i < bytes.size(); i += 4) {
                opaque = opaque && bytes[i] == 0xFF;
            }
        }
        return opaque;
    };
    EXPECT_TRUE(allOpaque(Path("a.avi")));
    // b.avi as an earlier version wrote it.
    {
        std::fstream file(Path("b.avi"), std::ios::in | std::ios::out | std::ios::binary);
        for (const RiffChunk& c : frameChunks(Path("b.avi"))) {
            for (uint64_t i = 3; i < c.size; i += 4) {
                file.seekp(std::streamoff(c.dataOffset + i));
                file.put('\0');
            }
        }
    }
    EXPECT_FALSE(allOpaque(Path("b.avi")));
    ASSERT_EQ(Join("joined.avi", {"a.avi", "b.avi"}).status, 0);
    EXPECT_TRUE(allOpaque(Path("joined.avi")));
    EXPECT_EQ(frameChunks(Path("joined.avi")).size(), 24u);
}

// Whatever is wrong, the join says which file and why, and writes nothing: an older file of the
// output's name stays as it was.
TEST_F(FrameRangeTest, JoinsOfPartsThatDoNotFitAreRefused) {
    Export("a.avi", {"--frames", "0-9"});
    Export("b.avi", {"--frames", "10-23"});
    Export("gap.avi", {"--frames", "11-23"});
    Export("overlap.avi", {"--frames", "9-23"});
    Export("ffv1.avi", {"--frames", "10-23", "--codec", "ffv1"});
    // The same range of another project, and of one with a wider frame.
    auto other = MakeProject(64, 48, kLayeredProjectLength, 0x00000000);
    WriteProject(*other, Path("other.xqm"));
    ASSERT_EQ(Tool().Run({File("other.xqm"), "-o", File("other.avi"), "--frames", "10-23"}).status,
              0);
    auto wider = MakeProject(80, 48, kLayeredProjectLength, 0x00000000);
    WriteProject(*wider, Path("wider.xqm"));
    ASSERT_EQ(Tool().Run({File("wider.xqm"), "-o", File("wider.avi"), "--frames", "10-23"}).status,
              0);
    // A part whose export stopped early: its record claims more frames than it holds.
    std::vector<char> cut = Bytes(Path("b.avi"));
    cut.resize(cut.size() / 2);
    std::ofstream(Path("cut.avi"), std::ios::binary).write(cut.data(), std::streamsize(cut.size()));
    // An AVI file that no export wrote.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -f lavfi -i "
                           "testsrc=size=64x48:rate=30:duration=0.5 -c:v rawvideo "
                           "-pix_fmt bgra '" +
                           File("foreign.avi") + "'")
                              .c_str()),
              0);
    std::ofstream(Path("out.avi")) << "older";

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"a.avi", "gap.avi"}, "10-10 がありません"},
        {{"a.avi", "overlap.avi"}, "重なっています"},
        {{"a.avi", "ffv1.avi"}, "圧縮形式が違います (uncompressed と ffv1)"},
        {{"a.avi", "other.avi"}, "別のプロジェクト"},
        {{"a.avi", "wider.avi"}, "64x48 と 80x48"},
        {{"a.avi", "cut.avi"}, "cut.avi"},
        {{"a.avi", "foreign.avi"}, "記録がありません"},
        {{"a.avi", "missing.avi"}, "開けません"},
        {{"a.avi", "out.avi"}, "同じです"},
    };
    for (const auto& [parts, message] : cases) {
        const ToolRun run = Join("out.avi", parts);
        EXPECT_EQ(run.status, 1) << parts[1];
        EXPECT_NE(run.err.find(message), std::string::npos) << parts[1] << ": " << run.err;
        EXPECT_EQ(Bytes(Path("out.avi")), std::vector<char>({'o', 'l', 'd', 'e', 'r'}));
        EXPECT_FALSE(std::filesystem::exists(Path("out.avi.joining")));
    }

    EXPECT_EQ(Join("out.avi", {"b.avi", "a.avi"}).status, 0);
    EXPECT_EQ(CountPackets(Path("out.avi")), int64_t(kLayeredProjectLength));
}

TEST_F(FrameRangeTest, ARangeBeyondTheProjectIsAUsageError) {
    const ToolRun run = Tool().Run({project_, "-o", File("out.avi"), "--frames", "20-24"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("24 フレーム"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.avi")));
}

}  // namespace
}  // namespace kelvane::testing

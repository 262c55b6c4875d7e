#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliTestFixture.h"
#include "support/ShellOutput.h"

namespace kelvane::testing {
namespace {

// What a shell command printed, its standard error included.
std::string Printed(const std::string& command) {
    return Output(command + " 2>&1");
}

std::vector<std::string> FrameHashes(const std::filesystem::path& file) {
    std::istringstream lines(
        Printed("ffmpeg -v error -i " + Quoted(file) + " -pix_fmt bgr24 -f framemd5 -"));
    std::vector<std::string> hashes;
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') {
            hashes.push_back(line.substr(line.find_last_of(", ") + 1));
        }
    }
    return hashes;
}

std::vector<uint8_t> Bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint64_t BigEndian(const std::vector<uint8_t>& bytes, size_t at, size_t count) {
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        value = value << 8 | bytes.at(at + i);
    }
    return value;
}

// An EBML variable-length number at `at`: its length, and its value with (`id`) or without the
// length marker.
uint64_t EbmlNumber(const std::vector<uint8_t>& bytes, size_t& at, bool id) {
    const uint8_t first = bytes.at(at);
    size_t length = 1;
    while (length <= 8 && (first & (0x80 >> (length - 1))) == 0) {
        ++length;
    }
    uint64_t value = BigEndian(bytes, at, length);
    if (!id) {
        value &= (uint64_t(1) << (7 * length)) - 1;
    }
    at += length;
    return value;
}

// Where each fragment (MP4, QuickTime: its media data box) or cluster (Matroska, WebM) of a
// finished file ends.
std::vector<uint64_t> FragmentEnds(const std::filesystem::path& file) {
    const std::vector<uint8_t> bytes = Bytes(file);
    std::vector<uint64_t> ends;
    if (file.extension() == ".mp4" || file.extension() == ".mov") {
        for (size_t at = 0; at + 8 <= bytes.size();) {
            const uint64_t size = BigEndian(bytes, at, 4);
            if (BigEndian(bytes, at + 4, 4) == 0x6d646174) {  // "mdat"
                ends.push_back(at + size);
            }
            at += size_t(size);
        }
        return ends;
    }
    size_t at = 0;
    EbmlNumber(bytes, at, true);  // the EBML header
    at += size_t(EbmlNumber(bytes, at, false));
    EbmlNumber(bytes, at, true);  // the segment, whose children follow
    EbmlNumber(bytes, at, false);
    while (at < bytes.size()) {
        const uint64_t id = EbmlNumber(bytes, at, true);
        const uint64_t size = EbmlNumber(bytes, at, false);
        at += size_t(size);
        if (id == 0x1F43B675) {  // a cluster
            ends.push_back(at);
        }
    }
    return ends;
}

// Where each packet's data lies in the file, in the order of the file.
std::vector<uint64_t> PacketPositions(const std::filesystem::path& file) {
    std::istringstream lines(
        Printed("ffprobe -v error -select_streams v:0 -show_entries "
                "packet=pos -of csv=p=0 " +
                Quoted(file)));
    std::vector<uint64_t> positions;
    std::string line;
    while (std::getline(lines, line)) {
        positions.push_back(std::stoull(line));
    }
    return positions;
}

// Where the file must end to hold its first `frames` frames in whole fragments: the end of the
// last fragment or cluster before the next frame's data.
uint64_t FragmentEndBefore(const std::vector<uint64_t>& ends, const std::vector<uint64_t>& packets,
                           size_t frames) {
    const uint64_t next = frames < packets.size() ? packets[frames] : UINT64_MAX;
    uint64_t end = 0;
    for (const uint64_t e : ends) {
        if (e <= next) {
            end = std::max(end, e);
        }
    }
    return end;
}

// The frames the message's second line says the file kept ("先頭の N フレーム").
int64_t KeptFrames(const std::string& err) {
    const std::string mark = "書き出したファイルには先頭の ";
    const size_t at = err.find(mark);
    return at == std::string::npos ? -1 : std::stoll(err.substr(at + mark.size()));
}

class ContainerCutTest : public CliTest {
  protected:
    static constexpr uint32_t kLength = 100;
    // A second of frames at 29.97 frames per second, as each fragment holds.
    static constexpr int64_t kFragmentFrames = 30;

    // Every frame differs: a picture moves across a background.
    void WriteProjectFile() {
        WriteBmp24(Path("a.bmp"), PatternPicture(24, 16, 3));
        auto project = MakeProject(96, 64, kLength, 0x00406080);
        const PathBuffer noBase{};
        project->ApplySettings(false, 96, 64, kLength, 0x00406080, 0, 29.97, noBase);
        AddPicture(*project, 1, u"\\a.bmp");
        TrackEvent from = PlacedEvent(*project, 1, 0, 24, 16, 0, 0);
        from.flags |= kEventInterpolate;
        AddEvents(*project, 1, {from, PlacedEvent(*project, 1, kLength - 1, 24, 16, 72, 48)});
        WriteProject(*project, Path("p.xqm"));
    }

    // Reads the cut file back: no complaint from FFmpeg, the frames the message names, each the
    // one of the whole export.
    void ExpectCleanCut(const std::string& name, const std::string& err,
                        const std::vector<std::string>& whole, int64_t frames) {
        EXPECT_EQ(KeptFrames(err), frames) << err;
        EXPECT_EQ(Printed("ffmpeg -v warning -i " + Quoted(Path(name)) + " -f null -"), "");
        const std::vector<std::string> kept = FrameHashes(Path(name));
        ASSERT_EQ(int64_t(kept.size()), frames);
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));
    }
};

// A file size limit stands for a full disk, at a point the test chooses: inside a fragment or
// cluster, exactly at the end of one, and in the ending written after the last.
TEST_F(ContainerCutTest, AWriteFailureCutsBackToTheLastCompleteFragment) {
    WriteProjectFile();
    const std::pair<const char*, const char*> containers[] = {
        {"mp4", "h264"}, {"mov", "prores"}, {"mkv", "ffv1"}, {"webm", "vp9"}};
    for (const auto& [extension, codec] : containers) {
        const std::string whole = std::string("whole.") + extension;
        SCOPED_TRACE(whole);
        ASSERT_EQ(Tool().Run({File("p.xqm"), "-o", File(whole), "--codec", codec}).status, 0);
        const std::vector<std::string> hashes = FrameHashes(Path(whole));
        ASSERT_EQ(hashes.size(), kLength);
        // The muxer may end clusters of its own between those that the writer ends each second.
        const std::vector<uint64_t> ends = FragmentEnds(Path(whole));
        const std::vector<uint64_t> packets = PacketPositions(Path(whole));
        ASSERT_EQ(packets.size(), kLength);
        const auto endAfter = [&](int64_t frames) {
            return FragmentEndBefore(ends, packets, size_t(frames));
        };
        const uint64_t size = std::filesystem::file_size(Path(whole));
        ASSERT_LT(endAfter(kLength), size);
        struct Case {
            const char* where;
            uint64_t limit;
            int64_t frames;
        };
        const Case cases[] = {
            {"inside the third second", (endAfter(60) + endAfter(90)) / 2, 60},
            {"at the end of the second second", endAfter(60), 60},
            {"in the ending after the last frame", size - 4, kLength},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.where);
            const std::string name = std::string("cut.") + extension;
            const ToolRun run =
                Tool().RunThrough({"prlimit", "--fsize=" + std::to_string(c.limit)},
                                  {File("p.xqm"), "-o", File(name), "--codec", codec});
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_NE(run.err.find("\n" + File(name) + ": ファイルの大きさが上限を超えました。"),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(std::filesystem::file_size(Path(name)), endAfter(c.frames));
            ExpectCleanCut(name, run.err, hashes, c.frames);
        }
    }
}

TEST_F(ContainerCutTest, AFullDiskLeavesAFileWithTheFramesThatFitted) {
    WriteProjectFile();
    ASSERT_EQ(Tool().Run({File("p.xqm"), "-o", File("whole.mkv")}).status, 0);
    // A file system of its own for the tool, with room for about half the file.
    const uint64_t room = std::filesystem::file_size(Path("whole.mkv")) / 2 / 4096 * 4096;
    const std::string disk = File("disk");
    std::filesystem::create_directories(disk);
    const std::string script = "mount -t tmpfs -o size=" + std::to_string(room) + " tmpfs '" +
                               disk + "' 2>/dev/null || exit 77; \"$@\"; s=$?; cp '" + disk +
                               "/out.mkv' '" + File("full.mkv") + "'; exit $s";
    const ToolRun run = Tool().RunThrough({"unshare", "-rm", "sh", "-c", script, "sh"},
                                          {File("p.xqm"), "-o", disk + "/out.mkv"});
    if (run.status == 77) {
        GTEST_SKIP() << "this machine does not let a test mount a small file system";
    }
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(disk + "/out.mkv: ディスクに空き領域がありません。"), std::string::npos)
        << run.err;
    const int64_t frames = KeptFrames(run.err);
    EXPECT_GT(frames, 0);
    EXPECT_EQ(frames % kFragmentFrames, 0);
    ExpectCleanCut("full.mkv", run.err, FrameHashes(Path("whole.mkv")), frames);
}

// A disk that takes the header but not one whole fragment leaves no file behind.
TEST_F(ContainerCutTest, AFileWithoutAFrameIsRemoved) {
    WriteProjectFile();
    const ToolRun run =
        Tool().RunThrough({"prlimit", "--fsize=2000"}, {File("p.xqm"), "-o", File("none.mkv")});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("フレームが一つも入らなかったため、ファイルを削除しました。"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("none.mkv")));
}

}  // namespace
}  // namespace kelvane::testing

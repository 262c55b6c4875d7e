#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

#include "CliTestFixture.h"
#include "InterruptWhenGrown.h"
#include "LayeredProject.h"
#include "platform/Path.h"
#include "support/ShellOutput.h"

namespace kelvane::testing {
namespace {

using namespace std::chrono_literals;

// The video stream as ffprobe reads it, every packet counted and decoded.
std::map<std::string, std::string> Probe(const std::filesystem::path& file) {
    const std::string text = Output(
        "ffprobe -v error -select_streams v:0 -count_packets -count_frames -show_entries "
        "stream=codec_name,width,height,avg_frame_rate,pix_fmt,color_range,color_space,"
        "color_primaries,color_transfer,nb_read_packets,nb_read_frames -of default=nw=1 " +
        Quoted(file) + " 2>&1");
    std::map<std::string, std::string> fields;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return fields;
}

std::string Comment(const std::filesystem::path& file) {
    return Output("ffprobe -v error -show_entries format_tags=comment -of default=nw=1 " +
                  Quoted(file) + " 2>&1");
}

// One MD5 per decoded frame as 24-bit BGR, whatever the file's own format and time base.
std::vector<std::string> FrameHashes(const std::filesystem::path& file) {
    std::istringstream lines(
        Output("ffmpeg -v error -i " + Quoted(file) + " -pix_fmt bgr24 -f framemd5 - 2>&1"));
    std::vector<std::string> hashes;
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != '#') {
            hashes.push_back(line.substr(line.find_last_of(", ") + 1));
        }
    }
    return hashes;
}

// The mean PSNR of `file` against the uncompressed `reference`, frame by frame, measured as video
// is: in the file's own pixel format, the reference converted to it with BT.601 studio range.
double Psnr(const std::filesystem::path& file, const std::filesystem::path& reference,
            const std::string& pixelFormat) {
    const std::string log = Output(
        "ffmpeg -nostats -i " + Quoted(file) + " -i " + Quoted(reference) +
        " -lavfi '[0:v]settb=1/30,setpts=N[a];[1:v]scale=out_color_matrix=bt601:out_range=tv:"
        "flags=bicubic+accurate_rnd+full_chroma_int,format=" +
        pixelFormat + ",settb=1/30,setpts=N[b];[a][b]psnr' -f null - 2>&1");
    const size_t at = log.find("average:");
    return at == std::string::npos ? 0.0 : std::stod(log.substr(at + 8));
}

// The frames the tool reported written last ("フレーム N/...").
int64_t ReportedFrames(const std::string& err) {
    const size_t at = err.rfind("フレーム ");
    return at == std::string::npos ? -1
                                   : std::stoll(err.substr(at + std::string("フレーム ").size()));
}

class ContainerExportTest : public CliTest {
  protected:
    // A smooth picture that moves by interpolation over a background, at 29.97 frames per second.
    void WriteProject(uint32_t width, uint32_t height, uint32_t length) {
        TestPicture picture{48, 32, {}};
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                picture.pixels.push_back(uint32_t(40 + x * 4) << 16 | uint32_t(60 + y * 5) << 8 |
                                         uint32_t(200 - x * 2));
            }
        }
        WriteBmp24(Path("a.bmp"), picture);
        auto project = MakeProject(width, height, length, 0x00305070);
        const PathBuffer noBase{};
        project->ApplySettings(false, width, height, length, 0x00305070, 0, 29.97, noBase);
        AddPicture(*project, 1, u"\\a.bmp");
        TrackEvent from = PlacedEvent(*project, 1, 0, picture.width, picture.height, 4, 4);
        from.flags |= kEventInterpolate;
        AddEvents(*project, 1,
                  {from, PlacedEvent(*project, 1, length - 1, picture.width, picture.height,
                                     float(width) - 52, float(height) - 36)});
        kelvane::testing::WriteProject(*project, Path("p.xqm"));
    }

    ToolRun Export(const std::string& out, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{File("p.xqm"), "-o", File(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tool().Run(args);
    }
};

struct Case {
    const char* extension;
    const char* codec;
    const char* pixelFormat;
    bool lossless;
};

// Every codec of every container: the frames, their size, the exact rate, the pixel format and
// the colour it declares; the lossless one decodes to the uncompressed export's frames, the lossy
// ones come close to them at the default quality.
TEST_F(ContainerExportTest, EveryCodecOfEveryContainer) {
    constexpr uint32_t kLength = 10;
    WriteProject(128, 72, kLength);
    ASSERT_EQ(Export("reference.avi").status, 0);
    const std::vector<std::string> reference = FrameHashes(Path("reference.avi"));
    ASSERT_EQ(reference.size(), kLength);

    const Case cases[] = {
        {"mp4", "h264", "yuv420p", false}, {"mp4", "hevc", "yuv420p", false},
        {"mp4", "av1", "yuv420p", false},  {"mov", "prores", "yuv422p10le", false},
        {"mov", "h264", "yuv420p", false}, {"mkv", "ffv1", "bgr0", true},
        {"mkv", "h264", "yuv420p", false}, {"mkv", "hevc", "yuv420p", false},
        {"mkv", "vp9", "yuv420p", false},  {"mkv", "av1", "yuv420p", false},
        {"webm", "vp9", "yuv420p", false}, {"webm", "av1", "yuv420p", false},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.codec) + "." + c.extension;
        SCOPED_TRACE(name);
        const ToolRun run = Export(name, {"--codec", c.codec});
        ASSERT_EQ(run.status, 0) << run.err;
        auto probe = Probe(Path(name));
        EXPECT_EQ(probe["nb_read_packets"], std::to_string(kLength));
        EXPECT_EQ(probe["nb_read_frames"], std::to_string(kLength));
        EXPECT_EQ(probe["width"], "128");
        EXPECT_EQ(probe["height"], "72");
        EXPECT_EQ(probe["avg_frame_rate"], "2997/100");
        EXPECT_EQ(probe["pix_fmt"], c.pixelFormat);
        EXPECT_NE(Comment(Path(name)).find("codec: " + std::string(c.codec)), std::string::npos);
        if (c.lossless) {
            EXPECT_EQ(probe["color_space"], "gbr");
            EXPECT_EQ(FrameHashes(Path(name)), reference);
        } else {
            EXPECT_EQ(probe["color_range"], "tv");
            EXPECT_EQ(probe["color_space"], "smpte170m");
            EXPECT_EQ(probe["color_primaries"], "smpte170m");
            EXPECT_EQ(probe["color_transfer"], "smpte170m");
            EXPECT_GE(Psnr(Path(name), Path("reference.avi"), c.pixelFormat), 40.0);
        }
    }

    // HD and larger is tagged BT.709.
    WriteProject(1280, 720, 2);
    ASSERT_EQ(Export("hd.mp4").status, 0);
    auto hd = Probe(Path("hd.mp4"));
    EXPECT_EQ(hd["nb_read_frames"], "2");
    EXPECT_EQ(hd["color_space"], "bt709");
    EXPECT_EQ(hd["color_primaries"], "bt709");
    EXPECT_EQ(hd["color_transfer"], "bt709");
}

// An extension we do not write, or a codec the container does not carry, is refused before
// anything is written, with a message that names them.
TEST_F(ContainerExportTest, UnfitChoicesAreRefusedBeforeWriting) {
    WriteProject(64, 48, 2);
    ToolRun run = Export("out.flv");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(".flv"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("avi, mp4, mov, mkv, webm"), std::string::npos) << run.err;
    run = Export("out.webm", {"--codec", "h264"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("h264"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(".webm"), std::string::npos) << run.err;
    run = Export("out.mp4", {"--codec", "uncompressed"});
    EXPECT_EQ(run.status, 2);
    WriteProject(63, 48, 2);  // 4:2:0 needs even sizes
    run = Export("out.mp4");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("63x48"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(Path("out.flv")));
    EXPECT_FALSE(std::filesystem::exists(Path("out.webm")));
    EXPECT_FALSE(std::filesystem::exists(Path("out.mp4")));

    const ToolRun list = Tool().Run({"--list-codecs"});
    EXPECT_NE(list.out.find("h264\tH.264 (x264)\tavi mp4 mov mkv\n"), std::string::npos)
        << list.out;
}

// Ctrl+C halfway leaves a file that reads back with exactly the frames the tool wrote.
TEST_F(ContainerExportTest, InterruptLeavesEveryContainerReadable) {
    constexpr uint32_t kLength = 100000;
    WriteProject(128, 72, kLength);
    for (const char* extension : {"mp4", "mov", "mkv", "webm"}) {
        const std::filesystem::path out = Path(std::string("cut.") + extension);
        SCOPED_TRACE(out.string());
        bool signalled = false;
        const ToolRun run = Tool().Run({File("p.xqm"), "-o", out.string()}, [&](pid_t pid) {
            signalled = InterruptWhenGrown(pid, out, 4 * 1024);
        });
        ASSERT_TRUE(signalled);
        EXPECT_EQ(run.status, 1) << run.err;
        auto probe = Probe(out);
        const int64_t written = ReportedFrames(run.err);
        EXPECT_GT(written, 0) << run.err;
        EXPECT_LT(written, int64_t(kLength));
        EXPECT_EQ(probe["nb_read_packets"], std::to_string(written));
        EXPECT_EQ(probe["nb_read_frames"], std::to_string(written));
    }
}

// Four parts of a Matroska (FFV1) and of an MP4 (H.264 at quality 100, lossless) export join
// into the file that one export writes, frame for frame.
TEST_F(ContainerExportTest, PartsJoinIntoTheWholeExport) {
    const std::filesystem::path project = WriteLayeredProject(Path(""));
    const std::vector<std::string> ranges = {"0-6", "7-7", "8-16", "17-23"};
    for (const auto& [extension, extra] :
         std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"mkv", {}}, {"mp4", {"--quality", "100"}}}) {
        SCOPED_TRACE(extension);
        auto run = [&](const std::string& out, std::vector<std::string> args) {
            args.insert(args.begin(), {project.string(), "-o", File(out)});
            args.insert(args.end(), extra.begin(), extra.end());
            const ToolRun done = Tool().Run(args);
            EXPECT_EQ(done.status, 0) << done.err;
        };
        run("full." + extension, {});
        std::vector<std::string> join{"--join", File("joined." + extension)};
        for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
            const std::string part = "part-" + *it + "." + extension;
            run(part, {"--frames", *it});
            join.push_back(File(part));
        }
        const ToolRun joined = Tool().Run(join);
        ASSERT_EQ(joined.status, 0) << joined.err;
        const std::vector<std::string> whole = FrameHashes(Path("full." + extension));
        EXPECT_EQ(whole.size(), kLayeredProjectLength);
        EXPECT_EQ(FrameHashes(Path("joined." + extension)), whole);
        EXPECT_NE(Comment(Path("joined." + extension)).find("frames: 0-23 of 24"),
                  std::string::npos);

        // A gap is refused and nothing is written.
        const ToolRun gap =
            Tool().Run({"--join", File("gap." + extension), File("part-0-6." + extension),
                        File("part-8-16." + extension)});
        EXPECT_EQ(gap.status, 1);
        EXPECT_NE(gap.err.find("7-7"), std::string::npos) << gap.err;
        EXPECT_FALSE(std::filesystem::exists(Path("gap." + extension)));
    }
}

}  // namespace
}  // namespace kelvane::testing

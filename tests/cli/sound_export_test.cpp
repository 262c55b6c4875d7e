#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "CliTestFixture.h"
#include "InterruptWhenGrown.h"
#include "ShellOutput.h"
#include "media/audio/SoundFormat.h"
#include "platform/Path.h"

namespace kelvane::testing {
namespace {

using namespace std::chrono_literals;

void Shell(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

std::map<std::string, std::string> ProbeStream(const std::filesystem::path& file,
                                               const std::string& stream) {
    const std::string text =
        Output("ffprobe -v error -select_streams " + stream +
               " -show_entries stream=codec_name,sample_rate,channels,duration,nb_frames -of "
               "default=nw=1 " +
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

int StreamCount(const std::filesystem::path& file, const std::string& type) {
    const std::string text =
        Output("ffprobe -v error -select_streams " + type +
               " -show_entries stream=index -of csv=p=0 " + Quoted(file) + " 2>/dev/null");
    return int(std::count(text.begin(), text.end(), '\n'));
}

// The file's sound as a decoder gives it, 48 kHz stereo float.
std::vector<float> DecodedSound(const std::filesystem::path& file) {
    const std::string bytes = Output("ffmpeg -v error -i " + Quoted(file) +
                                     " -map 0:a:0 -f f32le -ac 2 -ar 48000 - 2>/dev/null");
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

std::string Bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every packet of every stream with its time, size and checksum.
std::string Packets(const std::filesystem::path& file) {
    return Output("ffprobe -v error -show_packets -show_data_hash md5 -show_streams -of compact " +
                  Quoted(file) + " 2>&1 | grep -v '^stream|.*filename'");
}

// Samples in the file's sound stream: a PCM or FLAC stream holds exactly what was written.
int64_t SoundLength(const std::filesystem::path& file) {
    return int64_t(DecodedSound(file).size() / 2);
}

int64_t FramesOfMovie(const std::filesystem::path& file) {
    const std::string text = Output(
        "ffprobe -v error -select_streams v:0 -count_packets "
        "-show_entries stream=nb_read_packets -of csv=p=0 " +
        Quoted(file) + " 2>/dev/null");
    return text.empty() ? -1 : std::stoll(text);
}

class SoundExportTest : public CliTest {
  protected:
    // A 6 s stereo sound, silent but for one full-scale sample at second 3.
    void WriteClick(const std::string& name) {
        Shell(
            "ffmpeg -y -v error -f lavfi -i \"aevalsrc='if(eq(n,144000),1,0)|if(eq(n,144000),1,0)'"
            ":s=48000:d=6\" -c:a pcm_f32le " +
            Quoted(Path(name)));
    }

    // A project of `length` frames at `rate` that shows nothing but places slot 1 (a movie
    // slot with the file `source`) at `start`, from position 0 at speed 1.
    void WriteProject(const std::string& source, uint32_t start, uint32_t length, double rate,
                      uint32_t size = 64) {
        auto project = MakeProject(size, size * 3 / 4, length, 0x00203040);
        const PathBuffer noBase{};
        project->ApplySettings(false, size, size * 3 / 4, length, 0x00203040, 0, rate, noBase);
        FileEntry& entry = project->files[1];
        entry.kind = FileKind::Movie;
        const std::u16string path = u"\\" + std::u16string(source.begin(), source.end());
        ASSERT_TRUE(CopyPath(entry.path, path));
        entry.colour = kNoTransparentColour;
        TrackEvent e{};
        e.flags = kEventUsed | kEventParametric;
        e.start = start;
        e.fileId = 1;
        e.step = project->settings.frameDuration;
        e.right = 16;
        e.bottom = 12;
        e.scale = 1.0f;
        AddEvents(*project, 2, {e});
        kelvane::testing::WriteProject(*project, Path("p.xqm"));
    }

    ToolRun Export(const std::string& out, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{File("p.xqm"), "-o", File(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tool().Run(args);
    }
};

struct SoundCase {
    const char* extension;
    const char* codec;
    int64_t frameSamples;  // the codec's frame; 1 for PCM
    bool exactLength;
};

// Every container with its default audio codec: one 48 kHz stereo stream whose length matches
// the pictures', and a click at second 3 of a source placed at frame 30 of a 30 fps project
// decodes at 4.000 s.
TEST_F(SoundExportTest, EveryContainerCarriesTheSoundInSync) {
    WriteClick("click.wav");
    constexpr uint32_t kLength = 180;
    WriteProject("click.wav", 30, kLength, 30.0);
    const int64_t expected = FrameStartSample(kLength, 333333);
    const SoundCase cases[] = {{"avi", "pcm_s16le", 1, true},
                               {"mp4", "aac", 1024, false},
                               {"mov", "aac", 1024, false},
                               {"mkv", "flac", 4608, true},
                               {"webm", "opus", 960, false}};
    for (const SoundCase& c : cases) {
        const std::string name = std::string("out.") + c.extension;
        SCOPED_TRACE(name);
        // QuickTime takes PCM with ProRes and AAC with H.264.
        const ToolRun run = Export(name, std::string(c.extension) == "mov"
                                             ? std::vector<std::string>{"--codec", "h264"}
                                             : std::vector<std::string>{});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(StreamCount(Path(name), "a"), 1);
        auto audio = ProbeStream(Path(name), "a:0");
        EXPECT_EQ(audio["codec_name"], c.codec);
        EXPECT_EQ(audio["sample_rate"], "48000");
        EXPECT_EQ(audio["channels"], "2");
        const std::vector<float> sound = DecodedSound(Path(name));
        const int64_t length = int64_t(sound.size() / 2);
        if (c.exactLength) {
            EXPECT_EQ(length, expected);
        } else {
            EXPECT_LE(std::abs(length - expected), c.frameSamples);
        }
        size_t loudest = 0;
        for (size_t i = 0; i < sound.size(); i += 2) {
            if (std::abs(sound[i]) > std::abs(sound[loudest])) {
                loudest = i;
            }
        }
        EXPECT_NEAR(double(loudest / 2) / 48000.0, 4.0, 0.001);
        EXPECT_EQ(FramesOfMovie(Path(name)), kLength);
    }
    // Without sound, or asked for another codec.
    ASSERT_EQ(Export("silent.mkv", {"--no-audio"}).status, 0);
    EXPECT_EQ(StreamCount(Path("silent.mkv"), "a"), 0);
    ASSERT_EQ(Export("opus.mkv", {"--audio-codec", "opus"}).status, 0);
    EXPECT_EQ(ProbeStream(Path("opus.mkv"), "a:0")["codec_name"], "opus");
    const ToolRun refused = Export("x.webm", {"--audio-codec", "pcm"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("pcm"), std::string::npos) << refused.err;
    const ToolRun list = Tool().Run({"--list-codecs"});
    EXPECT_NE(list.out.find("aac\t音声 AAC (FFmpeg, 192 kb/s)\tmp4 mov mkv\n"), std::string::npos)
        << list.out;
}

// The file a project without sound gets does not depend on the sound machinery: the same
// project, whose movie has no sound in one run and sound in the other (given up with
// --no-audio), writes the very same bytes in every container.
TEST_F(SoundExportTest, WithoutSoundTheFileIsUnchanged) {
    const std::string picture = "-f lavfi -i testsrc=size=64x48:rate=30:d=1 -c:v ffv1";
    for (const char* extension : {"avi", "mp4", "mov", "mkv", "webm"}) {
        SCOPED_TRACE(extension);
        const std::string ext = extension;
        Shell("ffmpeg -y -v error " + picture + " " + Quoted(Path("m.mkv")));
        WriteProject("m.mkv", 3, 20, 30.0);
        ASSERT_EQ(Export("plain." + ext).status, 0);
        EXPECT_EQ(StreamCount(Path("plain." + ext), "a"), 0);
        Shell("ffmpeg -y -v error " + picture + " -f lavfi -i sine=f=440:d=1 -c:a pcm_s16le " +
              Quoted(Path("m.mkv")));
        ASSERT_EQ(Export("muted." + ext, {"--no-audio"}).status, 0);
        // Matroska gives each file a random identity; its packets and headers are compared.
        EXPECT_TRUE(Packets(Path("muted." + ext)) == Packets(Path("plain." + ext)));
        if (ext != "mkv" && ext != "webm") {
            EXPECT_TRUE(Bytes(Path("muted." + ext)) == Bytes(Path("plain." + ext)));
        }
        ASSERT_EQ(Export("sound." + ext).status, 0);
        EXPECT_EQ(StreamCount(Path("sound." + ext), "a"), 1);
    }
}

// Ranges hold exactly their frames' sound; ten minutes at 29.97 hold exactly
// round(N × frame duration × 48,000 / 10^7) samples.
TEST_F(SoundExportTest, RangesAndLongExportsHoldExactlyTheirSamples) {
    WriteClick("click.wav");
    const RefTime ntsc = RefTime(1e7 / 29.97);
    WriteProject("click.wav", 7, 100, 29.97);
    ASSERT_EQ(Export("whole.avi").status, 0);
    const std::vector<float> whole = DecodedSound(Path("whole.avi"));
    ASSERT_EQ(int64_t(whole.size() / 2), FrameStartSample(100, ntsc));
    std::vector<float> pieces;
    for (const char* range : {"0-44", "45-45", "46-99"}) {
        const std::string name = std::string("part-") + range + ".avi";
        ASSERT_EQ(Export(name, {"--frames", range}).status, 0);
        const std::vector<float> part = DecodedSound(Path(name));
        pieces.insert(pieces.end(), part.begin(), part.end());
    }
    EXPECT_EQ(pieces, whole);

    constexpr uint32_t kTenMinutes = 17982;
    WriteProject("click.wav", 100, kTenMinutes, 29.97, 16);
    ASSERT_EQ(Export("long.mkv").status, 0);
    EXPECT_EQ(SoundLength(Path("long.mkv")), FrameStartSample(kTenMinutes, ntsc));
    EXPECT_EQ(FrameStartSample(kTenMinutes, ntsc), 28800000);
}

// Four parts of an AVI (PCM) and of a Matroska (FLAC) export join into a file whose sound is the
// whole export's, sample for sample.
TEST_F(SoundExportTest, PartsJoinIntoTheWholeSound) {
    WriteClick("click.wav");
    WriteProject("click.wav", 5, 60, 29.97);
    for (const char* extension : {"avi", "mkv"}) {
        SCOPED_TRACE(extension);
        const std::string ext = extension;
        ASSERT_EQ(Export("whole." + ext).status, 0);
        std::vector<std::string> join{"--join", File("joined." + ext)};
        for (const char* range : {"0-9", "10-10", "11-40", "41-59"}) {
            const std::string name = std::string("part-") + range + "." + ext;
            ASSERT_EQ(Export(name, {"--frames", range}).status, 0);
            join.push_back(File(name));
        }
        const ToolRun joined = Tool().Run(join);
        ASSERT_EQ(joined.status, 0) << joined.err;
        EXPECT_EQ(joined.err.find("クリック"), std::string::npos) << joined.err;
        EXPECT_EQ(DecodedSound(Path("joined." + ext)), DecodedSound(Path("whole." + ext)));
        EXPECT_EQ(FramesOfMovie(Path("joined." + ext)), 60);
    }
}

// Four parts of an MP4 (AAC) and of a WebM (Opus) export join into a file whose sound is
// rendered from the project in one piece: the same encoder over the same samples, so it decodes
// to the whole export's sound exactly, with no priming at the seams. When the project is gone or
// changed, the parts' sound is copied and the join says the seams may click.
TEST_F(SoundExportTest, PrimedPartsJoinWithTheProjectsSoundRenderedAgain) {
    Shell("ffmpeg -y -v error -f lavfi -i \"sine=f=330:d=4,volume=0.5\" -ac 2 -c:a pcm_f32le " +
          Quoted(Path("tone.wav")));
    WriteProject("tone.wav", 5, 90, 29.97);
    const auto exportParts = [&](const std::string& ext) {
        std::vector<std::string> join{"--join", File("joined." + ext)};
        for (const char* range : {"0-9", "10-10", "11-40", "41-89"}) {
            const std::string name = std::string("part-") + range + "." + ext;
            EXPECT_EQ(Export(name, {"--frames", range}).status, 0);
            join.push_back(File(name));
        }
        return join;
    };
    for (const char* extension : {"mp4", "webm"}) {
        SCOPED_TRACE(extension);
        const std::string ext = extension;
        ASSERT_EQ(Export("whole." + ext).status, 0);
        const ToolRun joined = Tool().Run(exportParts(ext));
        ASSERT_EQ(joined.status, 0) << joined.err;
        EXPECT_EQ(joined.err.find("クリック"), std::string::npos) << joined.err;
        EXPECT_NE(joined.err.find("作り直しました"), std::string::npos) << joined.err;
        const std::vector<float> whole = DecodedSound(Path("whole." + ext));
        ASSERT_GT(whole.size(), size_t(2 * FrameStartSample(80, 333667)));
        EXPECT_TRUE(DecodedSound(Path("joined." + ext)) == whole);
        EXPECT_EQ(FramesOfMovie(Path("joined." + ext)), 90);
    }

    // Changed since: the parts' own sound, and the reason.
    const std::vector<std::string> join = exportParts("mp4");
    WriteProject("tone.wav", 6, 90, 29.97);
    ToolRun copied = Tool().Run(join);
    ASSERT_EQ(copied.status, 0) << copied.err;
    EXPECT_NE(copied.err.find("変更されているため、音声は各部分をそのままつなぎました。"),
              std::string::npos)
        << copied.err;
    EXPECT_NE(copied.err.find("クリック"), std::string::npos);
    // What rendering again is for: each copied part primes its encoder anew.
    EXPECT_FALSE(DecodedSound(Path("joined.mp4")) == DecodedSound(Path("whole.mp4")));
    // Gone: the same.
    std::filesystem::remove(Path("p.xqm"));
    copied = Tool().Run(join);
    ASSERT_EQ(copied.status, 0) << copied.err;
    EXPECT_NE(copied.err.find("見つからないため、音声は各部分をそのままつなぎました。"),
              std::string::npos)
        << copied.err;
    EXPECT_EQ(FramesOfMovie(Path("joined.mp4")), 90);
    EXPECT_EQ(StreamCount(Path("joined.mp4"), "a"), 1);
}

// Ctrl+C part way leaves a file whose sound reaches exactly as far as its last frame.
TEST_F(SoundExportTest, CancelKeepsTheSoundOfEveryWrittenFrame) {
    WriteClick("click.wav");
    constexpr uint32_t kLength = 100000;
    WriteProject("click.wav", 0, kLength, 30.0);
    for (const char* extension : {"avi", "mkv"}) {
        const std::filesystem::path out = Path(std::string("cut.") + extension);
        SCOPED_TRACE(out.string());
        bool signalled = false;
        const ToolRun run = Tool().Run({File("p.xqm"), "-o", out.string()}, [&](pid_t pid) {
            signalled = InterruptWhenGrown(pid, out, 256 * 1024);
        });
        ASSERT_TRUE(signalled);
        EXPECT_EQ(run.status, 1) << run.err;
        const int64_t frames = FramesOfMovie(out);
        ASSERT_GT(frames, 0);
        EXPECT_EQ(SoundLength(out), FrameStartSample(frames, 333333));
    }
}

// A full disk part way: the AVI file is finished after the last frame whose sound reached it,
// and holds exactly that frame's sound.
TEST_F(SoundExportTest, AFullDiskKeepsTheSoundOfEveryCompleteFrame) {
    WriteClick("click.wav");
    WriteProject("click.wav", 0, 60, 30.0);
    const std::string disk = File("disk");
    std::filesystem::create_directories(disk);
    const std::string script = "mount -t tmpfs -o size=96k tmpfs '" + disk +
                               "' 2>/dev/null || exit 77; \"$@\"; s=$?; cp '" + disk +
                               "/out.avi' '" + File("full.avi") + "'; exit $s";
    const ToolRun run = Tool().RunThrough({"unshare", "-rm", "sh", "-c", script, "sh"},
                                          {File("p.xqm"), "-o", disk + "/out.avi"});
    if (run.status == 77) {
        GTEST_SKIP() << "this machine does not let a test mount a small file system";
    }
    EXPECT_EQ(run.status, 1) << run.err;
    const int64_t frames = FramesOfMovie(Path("full.avi"));
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, 60);
    EXPECT_EQ(SoundLength(Path("full.avi")), FrameStartSample(frames, 333333));
}

}  // namespace
}  // namespace kelvane::testing

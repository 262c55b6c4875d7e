#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
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

// The containers and codecs that users bring from old and current tools, each written by this
// machine's ffmpeg: small pictures and few frames, so that every frame can be read in every order.
// Key frames every 12 frames and B-frames wherever the codec has them, so that seeks land on
// key frames that are not the target and pictures come out of the decoder in another order than
// they go in.
struct CorpusEntry {
    const char* name;  // file name without the rate; the extension picks the container
    const char* codecArgs;
    int width = 64;
    int height = 48;
};

const CorpusEntry kCorpus[] = {
    {"avi_mpeg4_bframes.avi", "-c:v mpeg4 -bf 2 -g 12 -q:v 3"},
    {"avi_mpeg4.avi", "-c:v mpeg4 -bf 0 -g 12 -q:v 3"},
    {"avi_h264_bframes.avi", "-c:v libx264 -preset veryfast -bf 2 -g 12 -pix_fmt yuv420p -crf 18"},
    {"avi_mjpeg.avi", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p"},
    {"ps_mpeg1.mpg", "-c:v mpeg1video -bf 2 -g 15 -q:v 3 -f mpeg"},
    {"ps_mpeg2.mpg", "-c:v mpeg2video -bf 2 -g 15 -q:v 3 -f vob"},
    {"ts_h264.ts", "-c:v libx264 -preset veryfast -bf 2 -g 12 -pix_fmt yuv420p -crf 18 -f mpegts"},
    {"mp4_h264.mp4", "-c:v libx264 -preset veryfast -bf 3 -g 12 -pix_fmt yuv420p -crf 18"},
    {"mp4_hevc.mp4",
     "-c:v libx265 -preset ultrafast -pix_fmt yuv420p -tag:v hvc1 "
     "-x265-params log-level=none:keyint=12:bframes=3"},
    {"mov_h264.mov", "-c:v libx264 -preset veryfast -bf 2 -g 12 -pix_fmt yuv420p -crf 18"},
    {"mov_prores.mov", "-c:v prores_ks -profile:v 0"},
    {"webm_vp8.webm", "-c:v libvpx -deadline realtime -cpu-used 8 -g 12 -b:v 1M"},
    {"mkv_vp9.mkv", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 -b:v 1M"},
    {"webm_av1.webm", "-c:v libaom-av1 -cpu-used 8 -usage realtime -g 12 -b:v 500k"},
    {"ogg_theora.ogv", "-c:v libtheora -g 12 -q:v 8"},
    {"asf_wmv2.wmv", "-c:v wmv2 -g 12 -q:v 3"},
    {"flv_flv1.flv", "-c:v flv -g 12 -q:v 3"},
    {"dv.dv", "-c:v dvvideo -pix_fmt yuv411p", 720,
     0},  // the height follows the rate: 576 lines at 25, 480 at 29.97
};

constexpr int kFrames = 40;

struct CorpusCase {
    const CorpusEntry* entry;
    bool ntsc;  // 30000/1001 frames per second, else 25
};

// The recipes live as long as the program: MovieSpec keeps pointers.
const MovieSpec& SpecFor(const CorpusCase& c) {
    static std::deque<std::string> names;
    static std::deque<MovieSpec> specs;
    std::string name = c.entry->name;
    name.insert(name.rfind('.'), c.ntsc ? "_2997" : "_25");
    for (const MovieSpec& s : specs)
        if (name == s.name)
            return s;
    names.push_back(name);
    MovieSpec recipe{names.back().c_str(), c.entry->codecArgs};
    recipe.width = c.entry->width;
    recipe.height = c.entry->height ? c.entry->height : (c.ntsc ? 480 : 576);
    recipe.frames = kFrames;
    recipe.fps = 25;
    recipe.rate = c.ntsc ? "30000/1001" : nullptr;
    specs.push_back(recipe);
    return specs.back();
}

std::string CaseName(const ::testing::TestParamInfo<CorpusCase>& info) {
    std::string name = SpecFor(info.param).name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
    return name;
}

class MovieCorpus : public ::testing::TestWithParam<CorpusCase> {
  protected:
    void SetUp() override {
        path_ = MakeMovie(SpecFor(GetParam()));
        if (path_.empty())
            GTEST_SKIP() << "ffmpeg cannot write " << SpecFor(GetParam()).name;
        SetTimeoutQuery(&prompt_);
    }
    void TearDown() override { EXPECT_EQ(int(prompt_.questions.size()), 0); }

    void Open() {
        ASSERT_TRUE(reader_.Open(testing::U16(path_), 0));
        ASSERT_EQ(reader_.FrameCount(), uint32_t(kFrames));
    }
    // Every frame must show its own index and be, byte for byte, what the first forward pass
    // decoded: a frame reached by a seek is the same picture as the one reached by decoding on.
    void ReadInOrder(const std::vector<int>& order, const char* what) {
        for (int k : order) {
            ASSERT_TRUE(reader_.GetFrame(k, image_)) << what << ", frame " << k;
            ASSERT_EQ(DecodeIndex(image_), k) << what << ", frame " << k;
            std::vector<uint8_t>& expected = frames_[size_t(k)];
            if (expected.empty())
                expected.assign(image_.Pixels(), image_.Pixels() + image_.ByteSize());
            else
                ASSERT_EQ(std::memcmp(expected.data(), image_.Pixels(), expected.size()), 0)
                    << what << ", frame " << k << " differs from the forward pass";
        }
    }

    testing::SettingsGuard settings_;
    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
    std::string path_;
    MovieReader reader_;
    PixelImage image_;
    std::vector<std::vector<uint8_t>> frames_{size_t(kFrames)};
};

TEST_P(MovieCorpus, EveryFrameForwardsBackwardsAndAtRandom) {
    std::vector<int> forwards(kFrames), backwards(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        forwards[size_t(i)] = i;
        backwards[size_t(i)] = kFrames - 1 - i;
    }
    std::vector<int> shuffled = forwards;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(20261207));

    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(ReadInOrder(forwards, "forwards"));
    ASSERT_NO_FATAL_FAILURE(ReadInOrder(backwards, "backwards"));
    ASSERT_NO_FATAL_FAILURE(ReadInOrder(shuffled, "random"));
    // Positions in media time name the same pictures.
    Settings().forceReferenceTime = 1;
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_FALSE(reader_.FrameMode());
    std::reverse(shuffled.begin(), shuffled.end());
    ASSERT_NO_FATAL_FAILURE(ReadInOrder(shuffled, "random by media time"));
    ASSERT_NO_FATAL_FAILURE(ReadInOrder(backwards, "backwards by media time"));

    // A reader opened for one frame, as a project opened afresh or the --frame mode reads it,
    // leaves the pictures before its target that no later picture needs undecoded: the target is
    // still the picture of the forward pass, bit for bit.
    Settings().forceReferenceTime = 0;
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> pick(0, kFrames - 1);
    for (int i = 0; i < 20; ++i) {
        const int k = pick(random);
        reader_.Close();
        ASSERT_NO_FATAL_FAILURE(Open());
        ASSERT_NO_FATAL_FAILURE(ReadInOrder({k}, "fresh reader"));
    }
}

std::vector<CorpusCase> AllCases() {
    std::vector<CorpusCase> cases;
    for (const CorpusEntry& e : kCorpus)
        for (bool ntsc : {false, true})
            cases.push_back({&e, ntsc});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Corpus, MovieCorpus, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace kelvane

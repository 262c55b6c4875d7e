#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/MediaDocumentServices.h"
#include "media/MediaSource.h"
#include "media/PreviewSource.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundMixer.h"
#include "media/composition_test_support.h"
#include "media/picture_test_tools.h"
#include "media/sound_reference_mixer.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::ScratchFolder;
using testing::U16;

bool Ffmpeg(const std::string& args) {
    return std::system(("ffmpeg -y -v error " + args + " >/dev/null 2>&1").c_str()) == 0;
}

// The samples ffmpeg itself decodes from a file, as 16-bit integers.
std::vector<int16_t> RawS16(const std::string& path, int channels) {
    std::vector<int16_t> samples;
    const std::string command = "ffmpeg -v error -i '" + path + "' -f s16le -ac " +
                                std::to_string(channels) + " - 2>/dev/null";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        int16_t buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, sizeof(int16_t), 4096, pipe)) > 0) {
            samples.insert(samples.end(), buffer, buffer + got);
        }
        ::pclose(pipe);
    }
    return samples;
}

class SoundSources : public ::testing::Test {
  protected:
    std::string Make(const std::string& name, const std::string& args) {
        const std::string path = folder_.File(name);
        return Ffmpeg(args + " '" + path + "'") ? path : std::string();
    }
    ScratchFolder folder_;
};

// Audio-only files load as movie slots with sound and no picture; a WAV at 48 kHz comes through
// sample for sample, mono at full level on both channels, 5.1 folded down to stereo.
TEST_F(SoundSources, AudioOnlyFilesAreMoviesWithSoundAndNoPicture) {
    const std::string mono =
        Make("mono.wav", "-f lavfi -i sine=f=300:r=48000:d=1.5 -c:a pcm_s16le -ac 1");
    const std::string surround =
        Make("surround.wav",
             "-f lavfi -i \"aevalsrc='0.1|0.2|0.3|0.05|0.4|0.5':s=48000:d=1:"
             "c=5.1\" -c:a pcm_s16le");
    ASSERT_FALSE(mono.empty());
    ASSERT_FALSE(surround.empty());

    FileEntry entry;
    ASSERT_TRUE(MediaSource::LoadMovie(entry, U16(mono)));
    EXPECT_EQ(entry.kind, FileKind::Movie);
    EXPECT_EQ(MediaSource::Image(entry), nullptr);
    EXPECT_EQ(MediaSource::FrameCount(entry), 0u);
    const SoundClip* clip = MediaSource::Sound(entry);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->SourceChannels(), 1);
    // The preview shows nothing for it, and nothing failed.
    auto shown = testing::NewProject(16, 16);
    ASSERT_TRUE(MediaSource::LoadMovie(shown->files[3], U16(mono)));
    const PreviewSource preview = FilePreview(*shown, 3, 10, true);
    EXPECT_TRUE(preview.ok);
    EXPECT_EQ(preview.image, nullptr);
    const std::vector<int16_t> raw = RawS16(mono, 1);
    ASSERT_EQ(clip->Length(), int64_t(raw.size()));
    for (size_t i = 0; i < raw.size(); ++i) {
        ASSERT_EQ(clip->Data()[2 * i], float(raw[i]) / 32768.0f) << i;
        ASSERT_EQ(clip->Data()[2 * i + 1], clip->Data()[2 * i]) << i;
    }

    FileEntry five;
    ASSERT_TRUE(MediaSource::LoadMovie(five, U16(surround)));
    const SoundClip* folded = MediaSource::Sound(five);
    ASSERT_NE(folded, nullptr);
    EXPECT_EQ(folded->SourceChannels(), 6);
    EXPECT_EQ(folded->Length(), 48000);
    // Left and right take their own front channels, so they differ.
    EXPECT_GT(folded->Data()[2 * 100 + 1], folded->Data()[2 * 100]);

    // Dropped without a kind, sound alone is told apart in the usual order and becomes a movie.
    testing::ScriptedPrompt prompt;
    MediaDocumentServices services(prompt);
    auto project = testing::NewProject(16, 16);
    FileEntry dropped;
    ASSERT_TRUE(services.DetectAndOpen(*project, dropped, U16(surround)));
    EXPECT_EQ(dropped.kind, FileKind::Movie);
    EXPECT_NE(MediaSource::Sound(dropped), nullptr);

    // A file with neither sound nor picture is refused and leaves the slot as it was.
    testing::WriteBytes(folder_.File("notes.txt"), {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(MediaSource::LoadMovie(entry, U16(folder_.File("notes.txt"))));
    EXPECT_EQ(MediaSource::Sound(entry), clip);
}

// A movie found without sound is not probed for it again while it stays as it is; written anew
// with sound, it has its sound at the next load.
TEST_F(SoundSources, AMovieWithoutSoundGainsItWhenTheFileIsWrittenAgain) {
    const std::string picture = "-f lavfi -i testsrc=s=64x48:r=25:d=1 -c:v mjpeg";
    const std::string path = Make("clip.avi", picture);
    ASSERT_FALSE(path.empty());
    for (int load = 0; load < 2; ++load) {
        FileEntry entry;
        ASSERT_TRUE(MediaSource::LoadMovie(entry, U16(path))) << load;
        EXPECT_EQ(MediaSource::Sound(entry), nullptr) << load;
        EXPECT_EQ(MediaSource::FrameCount(entry), 25u) << load;
    }
    ASSERT_EQ(Make("clip.avi", picture + " -f lavfi -i sine=f=500:r=48000:d=1 -c:a pcm_s16le"),
              path);
    FileEntry sounding;
    ASSERT_TRUE(MediaSource::LoadMovie(sounding, U16(path)));
    const SoundClip* clip = MediaSource::Sound(sounding);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->Length(), 48000);
    EXPECT_EQ(MediaSource::FrameCount(sounding), 25u);
}

// Compressed and resampled sources mix as the reference says: an MP3 at 44.1 kHz, a movie with
// a 5.1 soundtrack beside its picture.
TEST_F(SoundSources, DecodedFilesMixAsTheReferenceSays) {
    const std::string mp3 =
        Make("tone.mp3", "-f lavfi -i sine=f=440:r=44100:d=2 -c:a libmp3lame -b:a 128k");
    const std::string movie = Make("movie.mkv",
                                   "-f lavfi -i testsrc=size=32x24:rate=25:d=2 -f lavfi -i "
                                   "\"aevalsrc='sin(2*PI*200*t)|0.5*sin(2*PI*300*t)|0.1|0|0.2|0.3':"
                                   "s=48000:d=2:c=5.1\" -c:v ffv1 -c:a flac");
    if (mp3.empty()) {
        GTEST_SKIP() << "this ffmpeg has no MP3 encoder";
    }
    ASSERT_FALSE(movie.empty());
    auto project = testing::NewProject(16, 16, 0, 60);
    ASSERT_TRUE(MediaSource::LoadMovie(project->files[1], U16(mp3)));
    ASSERT_TRUE(MediaSource::LoadMovie(project->files[2], U16(movie)));
    ASSERT_NE(MediaSource::Image(project->files[2]), nullptr);
    ASSERT_NE(MediaSource::Sound(project->files[2]), nullptr);
    const SoundClip* tone = MediaSource::Sound(project->files[1]);
    ASSERT_NE(tone, nullptr);
    EXPECT_NEAR(double(tone->Length()), 96000.0, 1200.0);

    TrackEvent a{};
    a.flags = kEventUsed;
    a.start = 4;
    a.fileId = 1;
    a.position = 2'000'000;
    a.step = 520'000;  // 1.3 × the frame of 400,000 units
    TrackEvent b = a;
    b.start = 10;
    b.fileId = 2;
    b.position = 15'000'000;
    b.step = -400'000;
    ASSERT_TRUE(project->tracks[0].InsertSorted(&a, 1));
    ASSERT_TRUE(project->tracks[1].InsertSorted(&b, 1));
    const int64_t total = ProjectSoundLength(*project);
    std::vector<float> mix(size_t(total) * 2);
    MixProjectSound(*project, 0, total, mix.data());
    const std::vector<float> reference = testing::ReferenceMix(*project, 0, total);
    double worst = 0;
    for (size_t i = 0; i < mix.size(); ++i) {
        worst = std::max(worst, std::abs(double(mix[i]) - double(reference[i])));
    }
    EXPECT_LT(worst, 2e-6);
}

}  // namespace
}  // namespace kelvane

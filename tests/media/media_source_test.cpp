// The media source behind a file slot: path resolution, loaders that keep the old content when
// the new one fails, kind detection, movie frames with their one-frame cache, and texts.
#include "media/MediaSource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "composition_test_support.h"
#include "media/MediaDocumentServices.h"
#include "media/MovieReader.h"
#include "media/ProjectLoader.h"
#include "media/TimeoutQuery.h"
#include "model/ProjectFile.h"
#include "movie_test_support.h"
#include "picture_test_tools.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::At;
using testing::NewProject;
using testing::ScratchFolder;
using testing::U16;
using testing::WriteSolidBmp;
using Prompt = kelvane::testing::ScriptedPrompt;

constexpr uint32_t kRed = 0x00FF0000, kGreen = 0x0000FF00, kBlue = 0x000000FF;

// The colour of a loaded picture's top left pixel; 0xFFFFFFFF without one.
uint32_t PictureColour(const FileEntry& entry) {
    const PixelImage* image = MediaSource::Image(entry);
    return image != nullptr ? At(*image, 0, 0) : 0xFFFFFFFF;
}

void SetPath(PathBuffer& buffer, const std::string& path) {
    std::memset(buffer, 0, sizeof(buffer));
    ASSERT_TRUE(CopyPath(buffer, U16(path)));
}

class SourcePaths : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(base_);
        std::filesystem::create_directories(projectFolder_);
        project_ = NewProject(16, 16);
        SetPath(project_->settings.basePath, base_);
        SetPath(project_->projectFolder, projectFolder_);
    }

    ScratchFolder folder_;
    std::string base_ = folder_.File("base");
    std::string projectFolder_ = folder_.File("project");
    std::unique_ptr<Project> project_;
    FileEntry entry_;
};

TEST_F(SourcePaths, BackslashPathTriesTheBasePathThenTheProjectFolder) {
    WriteSolidBmp(base_ + "/clip.bmp", 2, 2, kRed);
    WriteSolidBmp(projectFolder_ + "/clip.bmp", 2, 2, kGreen);
    WriteSolidBmp(projectFolder_ + "/only.bmp", 2, 2, kBlue);

    ASSERT_TRUE(MediaSource::OpenPicture(entry_, u"\\clip.bmp", *project_));
    EXPECT_EQ(PictureColour(entry_), kRed);
    EXPECT_EQ(PathView(entry_.path), u"\\clip.bmp");  // the slot keeps the path as given

    ASSERT_TRUE(MediaSource::OpenPicture(entry_, u"\\only.bmp", *project_));
    EXPECT_EQ(PictureColour(entry_), kBlue);
    EXPECT_EQ(PathView(entry_.path), u"\\only.bmp");

    EXPECT_FALSE(MediaSource::OpenPicture(entry_, u"\\nowhere.bmp", *project_));
    EXPECT_EQ(PathView(entry_.path), u"\\only.bmp");
}

TEST_F(SourcePaths, TheExecutableFolderComesLast) {
    const std::string module = testing::ShippedEffectModule();
    if (module.empty() || FolderOf(U16(module)) != ExecutableFolder()) {
        GTEST_SKIP() << "the effect module does not lie beside the test program";
    }
    ASSERT_TRUE(MediaSource::OpenEffect(entry_, u"\\effect.so", *project_));
    EXPECT_EQ(entry_.kind, FileKind::Effect);
    EXPECT_EQ(PathView(entry_.path), u"\\effect.so");
}

TEST_F(SourcePaths, OtherPathsStandAsGiven) {
    const std::string absolute = folder_.File("absolute.bmp");
    WriteSolidBmp(absolute, 2, 2, kGreen);
    ASSERT_TRUE(MediaSource::OpenPicture(entry_, U16(absolute), *project_));
    EXPECT_EQ(PathView(entry_.path), U16(absolute));

    // A plain relative name is the process's business, not the project's.
    WriteSolidBmp(base_ + "/plain.bmp", 2, 2, kRed);
    WriteSolidBmp(projectFolder_ + "/plain.bmp", 2, 2, kRed);
    EXPECT_FALSE(MediaSource::OpenPicture(entry_, u"plain.bmp", *project_));
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Native());
    WriteSolidBmp("plain.bmp", 2, 2, kBlue);
    const bool loaded = MediaSource::OpenPicture(entry_, u"plain.bmp", *project_);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(PictureColour(entry_), kBlue);
    EXPECT_EQ(PathView(entry_.path), u"plain.bmp");
}

TEST_F(SourcePaths, AJoinedPathOf260UnitsFailsWithoutTryingFurther) {
    const std::u16string name = u"\\p.bmp";
    // Base paths that make the joined path 259 and 260 units long.
    const size_t stem = folder_.Native().size() + 1;
    const std::string fits = folder_.File(std::string(259 - name.size() - stem, 'f'));
    const std::string tooLong = folder_.File(std::string(260 - name.size() - stem, 't'));
    for (const std::string& dir : {fits, tooLong}) {
        std::filesystem::create_directories(dir);
        WriteSolidBmp(dir + "/p.bmp", 2, 2, kRed);
    }
    WriteSolidBmp(projectFolder_ + "/p.bmp", 2, 2, kGreen);

    SetPath(project_->settings.basePath, fits);
    ASSERT_TRUE(MediaSource::OpenPicture(entry_, name, *project_));
    EXPECT_EQ(PictureColour(entry_), kRed);

    SetPath(project_->settings.basePath, tooLong);
    EXPECT_FALSE(MediaSource::OpenPicture(entry_, name, *project_));
    EXPECT_EQ(PictureColour(entry_), kRed);  // and the slot keeps what it had
}

TEST(SourceLoads, AFailedReloadLeavesThePreviousContent) {
    ScratchFolder folder;
    WriteSolidBmp(folder.File("red.bmp"), 3, 2, kRed);
    const std::string garbage = folder.File("garbage.bmp");
    testing::WriteBytes(garbage, {'B', 'M', 1, 2, 3});
    auto project = NewProject(16, 16);
    Prompt prompt;
    ProjectLoader loader(prompt);

    FileEntry entry;
    entry.referenceDuration = 123;
    ASSERT_TRUE(MediaSource::OpenPicture(entry, U16(folder.File("red.bmp")), *project));
    entry.colour = 0x00123456;
    const MediaSource* loaded = MediaSource::Of(entry);

    EXPECT_FALSE(MediaSource::OpenPicture(entry, U16(garbage), *project));
    EXPECT_FALSE(MediaSource::OpenMovie(entry, U16(garbage), *project));
    EXPECT_FALSE(MediaSource::OpenEffect(entry, U16(garbage), *project));
    EXPECT_FALSE(MediaSource::OpenProject(entry, U16(garbage), *project, loader));
    EXPECT_FALSE(MediaSource::LoadPicture(entry, U16(folder.File("missing.bmp"))));

    EXPECT_EQ(entry.kind, FileKind::Image);
    EXPECT_EQ(MediaSource::Of(entry), loaded);
    EXPECT_EQ(PathView(entry.path), U16(folder.File("red.bmp")));
    EXPECT_EQ(entry.colour, 0x00123456u);
    EXPECT_EQ(PictureColour(entry), kRed);
    EXPECT_EQ(entry.referenceDuration, 123);
    EXPECT_TRUE(prompt.questions.empty());
}

TEST(SourceLoads, ASuccessfulLoadReplacesTheSlotAndForgetsItsColour) {
    ScratchFolder folder;
    WriteSolidBmp(folder.File("red.bmp"), 3, 2, kRed);
    WriteSolidBmp(folder.File("blue.bmp"), 5, 4, kBlue);
    FileEntry entry;
    ASSERT_TRUE(MediaSource::LoadPicture(entry, U16(folder.File("red.bmp"))));
    EXPECT_EQ(entry.colour, kNoTransparentColour);
    entry.colour = 0x00010203;
    entry.currentFrame = 7;
    entry.referenceDuration = 555;

    ASSERT_TRUE(MediaSource::LoadPicture(entry, U16(folder.File("blue.bmp"))));
    EXPECT_EQ(entry.colour, kNoTransparentColour);
    EXPECT_EQ(entry.currentFrame, -1);
    EXPECT_EQ(entry.referenceDuration, 555);  // the slot's own option
    ASSERT_NE(MediaSource::Image(entry), nullptr);
    EXPECT_EQ(MediaSource::Image(entry)->Width(), 5);
    EXPECT_EQ(MediaSource::Image(entry)->Height(), 4);
    EXPECT_EQ(PictureColour(entry), kBlue);

    MediaSource::Release(entry);
    EXPECT_EQ(entry.kind, FileKind::None);
    EXPECT_EQ(MediaSource::Of(entry), nullptr);
    EXPECT_EQ(PathView(entry.path), u"");
    EXPECT_EQ(entry.colour, 0u);
    EXPECT_EQ(entry.referenceDuration, 555);
}

TEST(SourceLoads, ADescriptorCopyHoldsNoLoadedObject) {
    ScratchFolder folder;
    WriteSolidBmp(folder.File("red.bmp"), 3, 2, kRed);
    FileEntry live;
    ASSERT_TRUE(MediaSource::LoadPicture(live, U16(folder.File("red.bmp"))));
    live.colour = 0x00445566;
    FileEntry snapshot;
    ASSERT_TRUE(MediaSource::CopyDescriptor(snapshot, live));
    EXPECT_EQ(snapshot.kind, FileKind::Image);
    EXPECT_EQ(PathView(snapshot.path), PathView(live.path));
    EXPECT_EQ(snapshot.colour, 0x00445566u);
    EXPECT_EQ(MediaSource::Of(snapshot), nullptr);
    EXPECT_EQ(MediaSource::Image(snapshot), nullptr);
    EXPECT_FALSE(MediaSource::GetFrame(snapshot, 0));
}

// Files of every kind as the file list receives them.
class KindDetection : public ::testing::Test {
  protected:
    void SetUp() override {
        project_ = NewProject(16, 16);
        WriteSolidBmp(folder_.File("picture.bmp"), 2, 2, kRed);
        auto nested = NewProject(8, 8);
        ASSERT_TRUE(ProjectFile::Write(U16(folder_.File("nested.xqm")), *nested));
    }
    bool Detect(const std::string& path) {
        return services_.DetectAndOpen(*project_, entry_, U16(path));
    }

    ScratchFolder folder_;
    Prompt prompt_;
    MediaDocumentServices services_{prompt_};
    std::unique_ptr<Project> project_;
    FileEntry entry_;
};

TEST_F(KindDetection, EachFileBecomesItsOwnKind) {
    ASSERT_TRUE(Detect(folder_.File("nested.xqm")));
    EXPECT_EQ(entry_.kind, FileKind::Project);
    ASSERT_NE(MediaSource::Image(entry_), nullptr);
    EXPECT_EQ(MediaSource::Image(entry_)->Width(), 8);

    ASSERT_TRUE(Detect(folder_.File("picture.bmp")));
    EXPECT_EQ(entry_.kind, FileKind::Image);

    const std::string module = testing::ShippedEffectModule();
    if (!module.empty()) {
        ASSERT_TRUE(Detect(module));
        EXPECT_EQ(entry_.kind, FileKind::Effect);
        EXPECT_EQ(MediaSource::Image(entry_), nullptr);
    }

    const std::string movie = testing::MakeMovie({"detect.avi", "-c:v mjpeg -q:v 3", 64, 32, 5});
    if (!movie.empty()) {
        ASSERT_TRUE(Detect(movie));
        EXPECT_EQ(entry_.kind, FileKind::Movie);
    }
    EXPECT_TRUE(prompt_.errors.empty());
}

TEST_F(KindDetection, AFileNoLoaderTakesLeavesTheSlot) {
    ASSERT_TRUE(Detect(folder_.File("picture.bmp")));
    testing::WriteBytes(folder_.File("notes.txt"), {'M', 'P', 'R', 'X', '\n'});
    testing::WriteBytes(folder_.File("cut.xqm"), {'M', 'P', 'R', 'J', 1, 0});
    EXPECT_FALSE(Detect(folder_.File("notes.txt")));
    EXPECT_FALSE(Detect(folder_.File("cut.xqm")));
    EXPECT_FALSE(Detect(folder_.File("missing.bmp")));
    EXPECT_EQ(entry_.kind, FileKind::Image);
    EXPECT_EQ(PathView(entry_.path), U16(folder_.File("picture.bmp")));
}

// Every dropped file is tried as a project first; a large file of another kind must not be read
// whole for that (the file here is sparse and takes no room on disk).
TEST_F(KindDetection, AHugeFileIsNotReadWholeToSeeWhetherItIsAProject) {
    const std::string huge = folder_.File("huge.avi");
    testing::WriteBytes(huge, {'R', 'I', 'F', 'F'});
    std::filesystem::resize_file(huge, uint64_t(64) << 30);
    Prompt prompt;
    ProjectLoader loader(prompt);
    EXPECT_FALSE(MediaSource::OpenProject(entry_, U16(huge), *project_, loader));
    EXPECT_FALSE(Detect(huge));
    EXPECT_EQ(entry_.kind, FileKind::None);
}

const testing::MovieSpec kMovie{"source_clip.avi", "-c:v mjpeg -q:v 3", 256, 64, 60, 25};

class MovieSource : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = testing::MakeMovie(kMovie);
        if (path_.empty()) {
            GTEST_SKIP() << "ffmpeg cannot write " << kMovie.name;
        }
        project_ = NewProject(256, 64);
        SetTimeoutQuery(nullptr);
    }
    const PixelImage& Image() const { return *MediaSource::Image(entry_); }
    int Shown() const { return testing::DecodeIndex(Image()); }
    // Marks the image, so that a later fetch shows by overwriting the mark.
    void Scribble() {
        PixelImage& image = MediaSource::Of(entry_)->image;
        image.Fill(0x00FF00FF);
    }

    testing::SettingsGuard settings_;
    std::string path_;
    std::unique_ptr<Project> project_;
    FileEntry entry_;
};

TEST_F(MovieSource, OpensAtTheStreamsSizeWithTheReferenceDuration) {
    ASSERT_TRUE(MediaSource::OpenMovie(entry_, U16(path_), *project_));
    EXPECT_EQ(entry_.kind, FileKind::Movie);
    EXPECT_EQ(Image().Width(), 256);
    EXPECT_EQ(Image().Height(), 64);
    EXPECT_EQ(Image().BitsPerPixel(), 32);
    EXPECT_EQ(MediaSource::GetFrameDuration(entry_), 400000);
    EXPECT_EQ(MediaSource::FrameCount(entry_), 60u);
    EXPECT_EQ(entry_.currentFrame, -1);

    FileEntry slow;
    slow.referenceDuration = 800000;  // "12.5" given as the movie's rate
    ASSERT_TRUE(MediaSource::OpenMovie(slow, U16(path_), *project_));
    EXPECT_EQ(MediaSource::GetFrameDuration(slow), 800000);
    EXPECT_EQ(slow.referenceDuration, 800000);
}

TEST_F(MovieSource, IndicesAreClampedToTheMovie) {
    ASSERT_TRUE(MediaSource::OpenMovie(entry_, U16(path_), *project_));
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 17));
    EXPECT_EQ(Shown(), 17);
    ASSERT_TRUE(MediaSource::GetFrame(entry_, -5));
    EXPECT_EQ(entry_.currentFrame, 0);
    EXPECT_EQ(Shown(), 0);
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 1000));
    EXPECT_EQ(entry_.currentFrame, 59);
    EXPECT_EQ(Shown(), 59);
    ASSERT_TRUE(MediaSource::GetFrame(entry_, INT32_MIN));
    EXPECT_EQ(Shown(), 0);
}

TEST_F(MovieSource, TheSameIndexTwiceFetchesOnce) {
    ASSERT_TRUE(MediaSource::OpenMovie(entry_, U16(path_), *project_));
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 30));
    Scribble();
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 30));
    EXPECT_EQ(At(Image(), 0, 0), 0x00FF00FFu);
    // Indices that clamp to the frame held are hits as well.
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 59));
    Scribble();
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 500));
    EXPECT_EQ(At(Image(), 0, 0), 0x00FF00FFu);
    // The export forgets the cached frame before its first frame.
    entry_.currentFrame = -1;
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 59));
    EXPECT_EQ(Shown(), 59);
}

TEST_F(MovieSource, AFailedReloadKeepsThePreviousMoviePlaying) {
    ASSERT_TRUE(MediaSource::OpenMovie(entry_, U16(path_), *project_));
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 4));
    const MediaSource* loaded = MediaSource::Of(entry_);
    ScratchFolder folder;
    testing::WriteBytes(folder.File("broken.avi"), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I'});
    entry_.referenceDuration = 800000;  // a new rate given with the new file
    EXPECT_FALSE(MediaSource::OpenMovie(entry_, U16(folder.File("broken.avi")), *project_));
    EXPECT_FALSE(MediaSource::OpenMovie(entry_, U16(folder.File("missing.avi")), *project_));
    EXPECT_EQ(MediaSource::Of(entry_), loaded);
    EXPECT_EQ(PathView(entry_.path), U16(path_));
    EXPECT_EQ(entry_.currentFrame, 4);
    EXPECT_EQ(MediaSource::GetFrameDuration(entry_), 400000);
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 9));
    EXPECT_EQ(Shown(), 9);
}

// Two slots of the same movie (one per track): the second takes the frame the first holds
// instead of decoding it again, and still reads on its own whatever the first does not hold.
TEST_F(MovieSource, ASecondSlotOfTheSameMovieCopiesTheFrameTheFirstHolds) {
    FileEntry second, slower;
    slower.referenceDuration = 800000;
    ASSERT_TRUE(MediaSource::OpenMovie(entry_, U16(path_), *project_));
    ASSERT_TRUE(MediaSource::OpenMovie(second, U16(path_), *project_));
    ASSERT_TRUE(MediaSource::OpenMovie(slower, U16(path_), *project_));
    const MediaGraph& graph = *MediaSource::Of(second)->movie->Graph();
    for (int32_t frame = 0; frame < 60; frame += 3) {
        ASSERT_TRUE(MediaSource::GetFrame(entry_, frame));
        ASSERT_TRUE(MediaSource::GetFrame(second, frame));
        EXPECT_EQ(testing::DecodeIndex(*MediaSource::Image(second)), frame);
    }
    // Reading them itself would have decoded every frame up to 57; an idle graph decodes only the
    // few pictures it starts with.
    const uint64_t decodedIdle = graph.DecodedFrames();
    EXPECT_LT(decodedIdle, 10u);

    // Another timing is another movie: the slower slot shows its own frame 20, whatever the
    // first holds.
    ASSERT_TRUE(MediaSource::GetFrame(slower, 20));
    const int slowTwenty = testing::DecodeIndex(*MediaSource::Image(slower));
    ASSERT_TRUE(MediaSource::GetFrame(slower, 21));
    ASSERT_TRUE(MediaSource::GetFrame(entry_, 20));
    ASSERT_TRUE(MediaSource::GetFrame(slower, 20));
    EXPECT_EQ(testing::DecodeIndex(*MediaSource::Image(slower)), slowTwenty);

    ASSERT_TRUE(MediaSource::GetFrame(second, 12));
    EXPECT_EQ(testing::DecodeIndex(*MediaSource::Image(second)), 12);
    EXPECT_GT(graph.DecodedFrames(), decodedIdle);
    entry_.Release();  // a released slot is no longer copied from
    second.currentFrame = -1;
    ASSERT_TRUE(MediaSource::GetFrame(second, 57));
    EXPECT_EQ(testing::DecodeIndex(*MediaSource::Image(second)), 57);
}

// A fetch that times out: the pipeline was told to stop five frames after frame 20, so frame 28,
// close enough to be stepped to, never arrives, and the question is answered with No.
class FailingMovie : public MovieSource {
  protected:
    void Fail(int32_t reloadFailedFrame) {
        Settings().abortTimeout = 5000;  // a busy machine must not fail the frames that arrive
        Settings().frameNext = 5;
        Settings().reloadFailedFrame = reloadFailedFrame;
        SetTimeoutQuery(&prompt_);
        ASSERT_TRUE(MediaSource::OpenMovie(entry_, U16(path_), *project_));
        ASSERT_TRUE(MediaSource::GetFrame(entry_, 20));
        ASSERT_EQ(Shown(), 20);
        Settings().abortTimeout = 100;
        ASSERT_FALSE(MediaSource::GetFrame(entry_, 28));
        ASSERT_EQ(int(prompt_.questions.size()), 1);
        Scribble();
    }

    testing::ScriptedPrompt prompt_{false};  // No once the script runs out
};

TEST_F(FailingMovie, WithoutReloadTheFailedIndexIsACacheHit) {
    ASSERT_NO_FATAL_FAILURE(Fail(0));
    EXPECT_EQ(entry_.currentFrame, 28);
    EXPECT_TRUE(MediaSource::GetFrame(entry_, 28));  // the old image, without a fetch
    EXPECT_EQ(At(Image(), 0, 0), 0x00FF00FFu);
    EXPECT_EQ(int(prompt_.questions.size()), 1);
}

TEST_F(FailingMovie, WithReloadTheFailedIndexIsFetchedAgain) {
    ASSERT_NO_FATAL_FAILURE(Fail(1));
    EXPECT_EQ(entry_.currentFrame, -1);
    // Fetched again: it either times out once more or, from a fresh seek, arrives.
    if (MediaSource::GetFrame(entry_, 28)) {
        EXPECT_EQ(Shown(), 28);
        EXPECT_EQ(entry_.currentFrame, 28);
    } else {
        EXPECT_EQ(int(prompt_.questions.size()), 2);
        EXPECT_EQ(entry_.currentFrame, -1);
    }
}

class TextSource : public ::testing::Test {
  protected:
    static LogFont Font() {
        LogFont font{};
        font.height = 20;
        font.weight = 400;
        const std::u16string face = u"DejaVu Sans";
        std::copy(face.begin(), face.end(), font.faceName);
        return font;
    }
};

TEST_F(TextSource, MakeTextFillsTheSlot) {
    ScratchFolder folder;
    WriteSolidBmp(folder.File("red.bmp"), 3, 2, kRed);
    FileEntry entry;
    ASSERT_TRUE(MediaSource::LoadPicture(entry, U16(folder.File("red.bmp"))));
    entry.referenceDuration = 99;
    const LogFont font = Font();

    ASSERT_TRUE(MediaSource::MakeText(entry, u"Kelvane", 0xAA123456, font));
    EXPECT_EQ(entry.kind, FileKind::Text);
    EXPECT_EQ(entry.text, u"Kelvane");
    EXPECT_EQ(entry.textLength, 7u);
    EXPECT_EQ(std::memcmp(&entry.font, &font, sizeof(LogFont)), 0);
    EXPECT_EQ(entry.colour, 0x00123456u ^ 0x808080u);
    EXPECT_EQ(entry.TextColour(), 0x00123456u);
    EXPECT_EQ(PathView(entry.path), u"");
    EXPECT_EQ(entry.referenceDuration, 99);
    const PixelImage* image = MediaSource::Image(entry);
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->Width(), 20);
    EXPECT_GT(image->Height(), 5);
    // The background is the key colour, in the pixel layout.
    EXPECT_EQ(At(*image, 0, 0), SwapRedBlue(entry.colour));

    // The entry's own text and font serve as input, as a reload from the entry does.
    const std::u16string same = entry.text;
    ASSERT_TRUE(MediaSource::MakeText(entry, same, entry.TextColour(), entry.font));
    EXPECT_EQ(std::memcmp(&entry.font, &font, sizeof(LogFont)), 0);
    EXPECT_EQ(entry.text, u"Kelvane");
}

TEST_F(TextSource, EmptyTextIsOnePixel) {
    FileEntry entry;
    ASSERT_TRUE(MediaSource::MakeText(entry, u"", 0x000000FF, Font()));
    EXPECT_EQ(entry.kind, FileKind::Text);
    EXPECT_EQ(entry.textLength, 0u);
    const PixelImage* image = MediaSource::Image(entry);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 1);
    EXPECT_EQ(image->Height(), 1);
    EXPECT_EQ(At(*image, 0, 0), SwapRedBlue(0x000000FFu ^ 0x808080u));
}

}  // namespace
}  // namespace kelvane

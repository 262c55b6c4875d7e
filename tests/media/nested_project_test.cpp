// Project files used as sources: rendered through their own tables and folders, clamped to their
// own length, refused when they include themselves, and failing like any other fetch.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "composition_test_support.h"
#include "media/FrameRenderer.h"
#include "media/MediaSource.h"
#include "media/ProjectLoader.h"
#include "model/ProjectFile.h"
#include "picture_test_tools.h"
#include "settings/AppSettings.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::AddEvent;
using testing::At;
using testing::NewProject;
using testing::PlacedEvent;
using testing::ScratchFolder;
using testing::TestEffect;
using testing::U16;
using testing::WriteSolidBmp;
using Prompt = kelvane::testing::ScriptedPrompt;

constexpr uint32_t kRed = 0x00FF0000, kGreen = 0x0000FF00, kBlue = 0x000000FF, kWhite = 0x00FFFFFF,
                   kYellow = 0x00FFFF00;

// A slot as a project file stores it; nothing is loaded.
void Describe(Project& project, size_t id, FileKind kind, const std::u16string& path) {
    FileEntry& entry = project.files[id];
    entry.kind = kind;
    std::memset(entry.path, 0, sizeof(entry.path));
    ASSERT_TRUE(CopyPath(entry.path, path));
    entry.colour = kNoTransparentColour;
}

std::string LoadQuestion(const std::string& path) {
    return "ファイル\"" + path +
           "\"の読み込みに失敗しました。続行しますか？\n続行すると、このファイルの設定は破棄されま"
           "す。";
}

class NestedProjects : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.Create(32, 32, 32));
        outer_ = NewProject(32, 32);
        std::memset(outer_->projectFolder, 0, sizeof(outer_->projectFolder));
        ASSERT_TRUE(CopyPath(outer_->projectFolder, U16(folder_.Native())));
    }
    void TearDown() override {
        Settings() = savedSettings_;
        TestEffect::SetResult(1);
    }
    void Write(const std::string& path, Project& project) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(ProjectFile::Write(U16(path), project));
    }
    // Shows file 0 of the outer project on track 0 at (x, y), w x h, from `position`.
    bool Render(int32_t w, int32_t h, float x, float y, RefTime position = 0, uint32_t frame = 0) {
        outer_->tracks[0].Reset(0);
        AddEvent(*outer_, 0, PlacedEvent(0, 0, w, h, x, y, position));
        return RenderFrame(*outer_, frame, frame_, true);
    }
    uint32_t Pixel(int x, int y) const { return At(frame_, x, y); }

    AppSettings savedSettings_ = Settings();
    ScratchFolder folder_;
    Prompt prompt_{false};
    ProjectLoader loader_{prompt_};
    std::unique_ptr<Project> outer_;
    PixelImage frame_;
};

TEST_F(NestedProjects, TwoLevelsEachWithItsOwnBackgroundTableAndFolder) {
    // Every folder holds a "dot.bmp" of its own; each project must find the one beside it.
    WriteSolidBmp(folder_.File("dot.bmp"), 2, 2, kRed);
    std::filesystem::create_directories(folder_.File("sub/inner"));
    WriteSolidBmp(folder_.File("sub/dot.bmp"), 1, 1, kYellow);
    WriteSolidBmp(folder_.File("sub/inner/dot.bmp"), 2, 2, kWhite);

    auto inner = NewProject(8, 8, 0x00FF0000);  // blue
    Describe(*inner, 0, FileKind::Image, u"\\dot.bmp");
    AddEvent(*inner, 0, PlacedEvent(0, 0, 2, 2, 1, 1));
    Write(folder_.File("sub/inner/inner.xqm"), *inner);

    auto middle = NewProject(16, 16, 0x0000FF00);  // green
    Describe(*middle, 3, FileKind::Project, u"\\inner\\inner.xqm");
    Describe(*middle, 1, FileKind::Image, u"\\dot.bmp");
    AddEvent(*middle, 2, PlacedEvent(3, 0, 8, 8, 2, 2));
    AddEvent(*middle, 9, PlacedEvent(1, 0, 1, 1, 15, 15));
    Write(folder_.File("sub/middle.xqm"), *middle);

    ASSERT_TRUE(MediaSource::OpenProject(outer_->files[0], u"\\sub\\middle.xqm", *outer_, loader_));
    EXPECT_TRUE(prompt_.questions.empty());
    const PixelImage* image = MediaSource::Image(outer_->files[0]);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 16);
    EXPECT_EQ(image->Height(), 16);
    EXPECT_EQ(MediaSource::GetFrameDuration(outer_->files[0]), 400000);
    EXPECT_EQ(MediaSource::FrameCount(outer_->files[0]), 100u);

    ASSERT_TRUE(Render(16, 16, 4, 4));
    EXPECT_EQ(Pixel(0, 0), 0u);      // the outer background
    EXPECT_EQ(Pixel(4, 4), kGreen);  // the middle one
    EXPECT_EQ(Pixel(6, 6), kBlue);   // the inner one
    EXPECT_EQ(Pixel(7, 7), kWhite);  // the inner project's own dot
    EXPECT_EQ(Pixel(8, 8), kWhite);
    EXPECT_EQ(Pixel(9, 9), kBlue);
    EXPECT_EQ(Pixel(14, 14), kGreen);
    EXPECT_EQ(Pixel(19, 19), kYellow);  // the middle project's own dot
    EXPECT_EQ(Pixel(20, 20), 0u);
}

TEST_F(NestedProjects, FramesFollowTheNestedRateAndClampToItsLength) {
    WriteSolidBmp(folder_.File("a.bmp"), 4, 4, kRed);
    WriteSolidBmp(folder_.File("b.bmp"), 4, 4, kBlue);
    auto inner = NewProject(4, 4, 0, 8);
    inner->settings.frameRate = 12.5;  // 800,000 units a frame
    Describe(*inner, 0, FileKind::Image, u"\\a.bmp");
    Describe(*inner, 1, FileKind::Image, u"\\b.bmp");
    AddEvent(*inner, 0, PlacedEvent(0, 0, 4, 4));
    AddEvent(*inner, 0, PlacedEvent(1, 5, 4, 4));
    Write(folder_.File("clip.xqm"), *inner);
    ASSERT_TRUE(MediaSource::OpenProject(outer_->files[0], u"\\clip.xqm", *outer_, loader_));
    FileEntry& entry = outer_->files[0];
    EXPECT_EQ(MediaSource::GetFrameDuration(entry), 800000);

    const RefTime outerFrame = 400000;
    struct Case {
        RefTime position;
        uint32_t frame;
        int32_t nestedFrame;
        uint32_t colour;
    };
    for (const Case& c :
         {Case{0, 0, 0, kRed}, Case{9 * outerFrame, 0, 4, kRed}, Case{10 * outerFrame, 0, 5, kBlue},
          Case{0, 11, 5, kBlue}, Case{1000 * outerFrame, 0, 7, kBlue},
          Case{-3 * outerFrame, 0, 0, kRed}, Case{-3 * outerFrame, 5, 1, kRed}}) {
        ASSERT_TRUE(Render(4, 4, 0, 0, c.position, c.frame)) << c.position;
        EXPECT_EQ(entry.currentFrame, c.nestedFrame) << c.position << " at " << c.frame;
        EXPECT_EQ(Pixel(1, 1), c.colour) << c.position << " at " << c.frame;
    }
}

TEST_F(NestedProjects, ANestedProjectWithoutFramesShowsItsFrameZero) {
    WriteSolidBmp(folder_.File("a.bmp"), 4, 4, kRed);
    auto inner = NewProject(4, 4, 0, 0);
    Describe(*inner, 0, FileKind::Image, u"\\a.bmp");
    AddEvent(*inner, 0, PlacedEvent(0, 0, 4, 4));
    Write(folder_.File("empty.xqm"), *inner);
    ASSERT_TRUE(MediaSource::OpenProject(outer_->files[0], u"\\empty.xqm", *outer_, loader_));
    ASSERT_TRUE(Render(4, 4, 0, 0, 5 * 400000));
    EXPECT_EQ(outer_->files[0].currentFrame, 0);
    EXPECT_EQ(Pixel(1, 1), kRed);
}

TEST_F(NestedProjects, AProjectIncludingItselfIsRefused) {
    auto self = NewProject(8, 8);
    Describe(*self, 0, FileKind::Project, u"\\self.xqm");
    Describe(*self, 1, FileKind::Project, u"\\self.xqm");
    Write(folder_.File("self.xqm"), *self);

    // Read as a document: each inclusion of itself is one question; Yes leaves the slot unused.
    auto read = Project::Create();
    prompt_.answers = {true, true};
    ASSERT_TRUE(ProjectFile::Read(U16(folder_.File("self.xqm")), *read, loader_, prompt_));
    ASSERT_EQ(prompt_.questions.size(), 2u);
    EXPECT_EQ(prompt_.questions[0], LoadQuestion("\\self.xqm"));
    EXPECT_EQ(read->files[0].kind, FileKind::None);
    EXPECT_EQ(read->files[1].kind, FileKind::None);
    EXPECT_EQ(MediaSource::Of(read->files[0]), nullptr);

    // No ends the read.
    prompt_.questions.clear();
    auto refused = Project::Create();
    EXPECT_FALSE(ProjectFile::Read(U16(folder_.File("self.xqm")), *refused, loader_, prompt_));
    EXPECT_EQ(prompt_.questions.size(), 1u);

    // Used as a source: one level of it, whose own inclusions stay empty.
    prompt_.questions.clear();
    prompt_.answers = {true, true};
    ASSERT_TRUE(MediaSource::OpenProject(outer_->files[0], u"\\self.xqm", *outer_, loader_));
    const Project& nested = *MediaSource::Of(outer_->files[0])->project;
    EXPECT_EQ(nested.files[0].kind, FileKind::None);
    EXPECT_EQ(nested.files[1].kind, FileKind::None);
    EXPECT_TRUE(Render(8, 8, 0, 0));
}

TEST_F(NestedProjects, ACycleThroughAnotherProjectIsRefused) {
    auto a = NewProject(8, 8);
    Describe(*a, 0, FileKind::Project, u"\\b.xqm");
    Write(folder_.File("a.xqm"), *a);
    auto b = NewProject(8, 8);
    // Another spelling of the same file does not get past the check.
    Describe(*b, 0, FileKind::Project, U16(folder_.File("./a.xqm")));
    Write(folder_.File("b.xqm"), *b);

    auto read = Project::Create();
    prompt_.answers = {true};
    ASSERT_TRUE(ProjectFile::Read(U16(folder_.File("a.xqm")), *read, loader_, prompt_));
    ASSERT_EQ(prompt_.questions.size(), 1u);
    EXPECT_EQ(prompt_.questions[0], LoadQuestion(folder_.File("./a.xqm")));
    ASSERT_EQ(read->files[0].kind, FileKind::Project);
    const Project& nestedB = *MediaSource::Of(read->files[0])->project;
    EXPECT_EQ(nestedB.files[0].kind, FileKind::None);
}

TEST_F(NestedProjects, AFailedNestedFrameFailsTheEventLikeAMovie) {
    if (TestEffect::Path().empty()) {
        GTEST_SKIP() << "no C compiler for the test effect";
    }
    auto inner = NewProject(8, 8, 0x00FF0000);  // blue
    Describe(*inner, 0, FileKind::Effect, U16(TestEffect::Path()));
    AddEvent(*inner, 0, PlacedEvent(0, 0, 0, 0));
    Write(folder_.File("failing.xqm"), *inner);
    ASSERT_TRUE(MediaSource::OpenProject(outer_->files[0], u"\\failing.xqm", *outer_, loader_));
    WriteSolidBmp(folder_.File("red.bmp"), 4, 4, kRed);
    ASSERT_TRUE(MediaSource::LoadPicture(outer_->files[1], U16(folder_.File("red.bmp"))));
    AddEvent(*outer_, 5, PlacedEvent(0, 0, 8, 8));
    AddEvent(*outer_, 6, PlacedEvent(1, 0, 4, 4, 20, 20));
    FileEntry& nested = outer_->files[0];

    TestEffect::SetResult(1);
    ASSERT_TRUE(RenderFrame(*outer_, 0, frame_, true));
    EXPECT_EQ(Pixel(21, 21), kRed);

    TestEffect::SetResult(0);
    Settings().reloadFailedFrame = 0;
    nested.currentFrame = -1;
    EXPECT_FALSE(RenderFrame(*outer_, 0, frame_, true));
    EXPECT_EQ(Pixel(2, 2), 0x00FFFFFFu);  // the nested frame as far as it was drawn
    EXPECT_EQ(Pixel(21, 21), 0u);         // the track above was not drawn
    EXPECT_EQ(nested.currentFrame, 0);
    EXPECT_TRUE(MediaSource::GetFrame(nested, 0));  // a cache hit

    Settings().reloadFailedFrame = 1;
    nested.currentFrame = -1;
    EXPECT_FALSE(MediaSource::GetFrame(nested, 0));
    EXPECT_EQ(nested.currentFrame, -1);
    EXPECT_FALSE(MediaSource::GetFrame(nested, 0));
}

// Slots that all name the same project, whose slots all name another, and so on: three small
// files ask for a thousand million loads. The read stops at the budget of nested loads, with one
// message and no question per slot, before memory grows.
TEST(NestedProjectBudget, ABreadthBombFailsFastInBoundedMemory) {
    ScratchFolder folder;
    auto leaf = NewProject(4, 4);
    ASSERT_TRUE(ProjectFile::Write(U16(folder.File("d.xqm")), *leaf));
    const char* const names[] = {"c.xqm", "b.xqm", "a.xqm"};
    const char16_t* const inner[] = {u"\\d.xqm", u"\\c.xqm", u"\\b.xqm"};
    for (int level = 0; level < 3; ++level) {
        auto wide = NewProject(4, 4);
        for (size_t id = 0; id < kFileSlots; ++id)
            Describe(*wide, id, FileKind::Project, inner[level]);
        ASSERT_TRUE(ProjectFile::Write(U16(folder.File(names[level])), *wide));
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    Prompt prompt{false};
    ProjectLoader loader(prompt);
    auto read = Project::Create();
    EXPECT_FALSE(ProjectFile::Read(U16(folder.File("a.xqm")), *read, loader, prompt));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_TRUE(prompt.questions.empty());
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_NE(prompt.errors[0].find("入れ子になったプロジェクトの読み込みが多すぎます"),
              std::string::npos);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 512 * 1024) << "kilobytes";

    // A project within the budget still reads, and the next read starts a fresh budget.
    auto small = NewProject(4, 4);
    for (size_t id = 0; id < 8; ++id)
        Describe(*small, id, FileKind::Project, u"\\d.xqm");
    ASSERT_TRUE(ProjectFile::Write(U16(folder.File("small.xqm")), *small));
    for (int again = 0; again < 2; ++again) {
        auto ok = Project::Create();
        EXPECT_TRUE(ProjectFile::Read(U16(folder.File("small.xqm")), *ok, loader, prompt));
        EXPECT_EQ(ok->files[7].kind, FileKind::Project);
    }
    EXPECT_EQ(prompt.errors.size(), 1u);
}

}  // namespace
}  // namespace kelvane

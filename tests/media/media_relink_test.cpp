// Media that moved: a project whose media folder was renamed finds its files again, by relinks
// given up front (the command line) or by the file the user points at (the window), and keeps
// the relative form of its paths where it can.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "composition_test_support.h"
#include "media/MediaRelinks.h"
#include "media/ProjectLoader.h"
#include "model/ProjectFile.h"
#include "platform/MissingFilePrompt.h"
#include "support/BmpFiles.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::NewProject;
using testing::ScratchFolder;
using testing::WriteSolidBmp;

// Answers the missing-file question from a script of answers, recording each question.
class LocatingPrompt : public testing::ScriptedPrompt, public MissingFileLocator {
  public:
    MissingFileAnswer AskMissingFile(const std::string& message,
                                     std::u16string_view storedPath) override {
        asked.push_back(ToUtf8(storedPath));
        questions.push_back(message);
        if (located.empty()) {
            return {MissingFileAnswer::Kind::Discard, {}};
        }
        MissingFileAnswer answer = located.front();
        located.erase(located.begin());
        return answer;
    }
    std::vector<std::string> asked;
    std::vector<MissingFileAnswer> located;
};

class MediaRelink : public ::testing::Test {
  protected:
    // A project in the scratch folder naming three pictures of media/ (two relative, one full
    // path) and one of other/; then media/ is renamed to moved/.
    void SetUp() override {
        namespace fs = std::filesystem;
        fs::create_directories(folder_.File("media/sub"));
        fs::create_directories(folder_.File("other"));
        WriteSolidBmp(folder_.File("media/a.bmp"), 4, 4, 0xFF0000);
        WriteSolidBmp(folder_.File("media/b.bmp"), 4, 4, 0x00FF00);
        WriteSolidBmp(folder_.File("media/sub/c.bmp"), 4, 4, 0x0000FF);
        WriteSolidBmp(folder_.File("other/d.bmp"), 4, 4, 0xFFFFFF);
        std::unique_ptr<Project> project = NewProject(8, 8);
        Describe(*project, 0, u"\\media\\a.bmp");
        Describe(*project, 1, u"\\media\\sub\\c.bmp");
        Describe(*project, 2, FromUtf8(folder_.File("media/b.bmp")));
        Describe(*project, 3, FromUtf8(folder_.File("other/d.bmp")));
        ASSERT_TRUE(ProjectFile::Write(FromUtf8(project_), *project));
        fs::rename(folder_.File("media"), folder_.File("moved"));
    }
    static void Describe(Project& project, size_t id, const std::u16string& path) {
        FileEntry& entry = project.files[id];
        entry.kind = FileKind::Image;
        std::memset(entry.path, 0, sizeof(entry.path));
        ASSERT_TRUE(CopyPath(entry.path, path));
        entry.colour = kNoTransparentColour;
    }
    std::unique_ptr<Project> Read(MediaRelinks* relinks) {
        std::unique_ptr<Project> project = Project::Create();
        ProjectLoader loader(prompt_);
        loader.SetRelinks(relinks);
        return ProjectFile::Read(FromUtf8(project_), *project, loader, prompt_) ? std::move(project)
                                                                                : nullptr;
    }
    static std::string PathOf(const Project& project, size_t id) {
        return ToUtf8(PathView(project.files[id].path));
    }

    ScratchFolder folder_;
    std::string project_ = folder_.File("show.xqm");
    LocatingPrompt prompt_;
};

TEST_F(MediaRelink, OneFolderGivenUpFrontFindsEveryFileOfIt) {
    MediaRelinks relinks;
    relinks.Add(FromUtf8(folder_.File("media")), FromUtf8(folder_.File("moved/")));
    std::unique_ptr<Project> project = Read(&relinks);
    ASSERT_TRUE(project);
    EXPECT_TRUE(prompt_.asked.empty());
    EXPECT_EQ(relinks.RelinkedCount(), 3u);
    // Relative paths stay relative to the project's folder; a full path stays full.
    EXPECT_EQ(PathOf(*project, 0), "\\moved\\a.bmp");
    EXPECT_EQ(PathOf(*project, 1), "\\moved\\sub\\c.bmp");
    EXPECT_EQ(PathOf(*project, 2), folder_.File("moved/b.bmp"));
    EXPECT_EQ(PathOf(*project, 3), folder_.File("other/d.bmp"));
    for (size_t id = 0; id < 4; ++id) {
        EXPECT_TRUE(project->files[id].loaded) << id;
    }
}

TEST_F(MediaRelink, TheFilePointedAtBringsTheOthersOfItsFolder) {
    prompt_.located = {{MissingFileAnswer::Kind::Located, FromUtf8(folder_.File("moved/a.bmp"))}};
    MediaRelinks relinks;
    std::unique_ptr<Project> project = Read(&relinks);
    ASSERT_TRUE(project);
    // One question for the first file; the rest of its folder followed without one.
    EXPECT_EQ(prompt_.asked, std::vector<std::string>({"\\media\\a.bmp"}));
    EXPECT_EQ(relinks.RelinkedCount(), 3u);
    EXPECT_EQ(PathOf(*project, 0), "\\moved\\a.bmp");
    EXPECT_EQ(PathOf(*project, 1), "\\moved\\sub\\c.bmp");
    EXPECT_EQ(PathOf(*project, 2), folder_.File("moved/b.bmp"));
    EXPECT_TRUE(project->files[2].loaded);
}

TEST_F(MediaRelink, AFileThatIsNotThereEitherIsAskedAboutAgainAndMayBeDiscarded) {
    std::filesystem::remove(folder_.File("moved/b.bmp"));
    prompt_.located = {
        {MissingFileAnswer::Kind::Located, FromUtf8(folder_.File("moved/nothing.bmp"))},
        {MissingFileAnswer::Kind::Located, FromUtf8(folder_.File("moved/a.bmp"))},
        {MissingFileAnswer::Kind::Discard, {}}};
    MediaRelinks relinks;
    std::unique_ptr<Project> project = Read(&relinks);
    ASSERT_TRUE(project);
    // a.bmp: pointed at a file that does not load, said so and asked again; then b.bmp, gone
    // from the new folder too, is asked about and discarded.
    ASSERT_EQ(prompt_.asked.size(), 3u);
    EXPECT_EQ(prompt_.asked[2], folder_.File("media/b.bmp"));
    EXPECT_NE(prompt_.questions[1].find("nothing.bmp\"も読み込めませんでした。"),
              std::string::npos);
    EXPECT_EQ(PathOf(*project, 0), "\\moved\\a.bmp");
    EXPECT_FALSE(project->files[2].Used());
    EXPECT_EQ(relinks.RelinkedCount(), 2u);
}

TEST_F(MediaRelink, StoppingStillFailsTheRead) {
    prompt_.located = {{MissingFileAnswer::Kind::Stop, {}}};
    EXPECT_FALSE(Read(nullptr));
    EXPECT_EQ(prompt_.asked.size(), 1u);
}

TEST(MediaRelinks, CandidatesFollowTheLatestPairAndStayInsideTheFolder) {
    MediaRelinks relinks;
    relinks.Add(u"/old/media", u"/new/one");
    relinks.Add(u"/old\\media\\", u"/new/two");
    EXPECT_EQ(relinks.Candidates(u"/old/media/x/y.png"),
              std::vector<std::u16string>({u"/new/two/x/y.png"}));
    EXPECT_TRUE(relinks.Candidates(u"/old/mediaeval/y.png").empty());
    EXPECT_TRUE(relinks.Candidates(u"/old/media").empty());
    EXPECT_EQ(StoredMediaPath(u"/p/q/r.png", true, u"", u"/p"), u"\\q\\r.png");
    EXPECT_EQ(StoredMediaPath(u"/p/q/r.png", false, u"", u"/p"), u"/p/q/r.png");
    EXPECT_EQ(StoredMediaPath(u"/z/r.png", true, u"", u"/p"), u"/z/r.png");
}

}  // namespace
}  // namespace kelvane

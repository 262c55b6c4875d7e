#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/ProjectFile.h"
#include "project_file_support.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

using testing::FakeLoader;
using testing::FileBytes;
using testing::NewProject;
using testing::ScriptedPrompt;
using testing::SetPath;

const char* kMissingTail =
    "\"の読み込みに失敗しました。続行しますか？\n続行すると、このファイルの設定は破棄されます。";

// Three pictures and a movie; events on track 0 refer to each.
std::vector<uint8_t> ProjectWithMedia() {
    TrackEvent events[4] = {};
    for (int i = 0; i < 4; ++i) {
        events[i].flags = kEventUsed;
        events[i].start = uint32_t(i);
        events[i].fileId = i;
    }
    FileBytes f;
    f.Magic().Version(0x00020000).Settings();
    f.Picture(0, u"a.bmp").U32(4).U32(1).U32(1).I64(0).Path(u"\\動画.avi").U32(0x00ABCDEF);
    f.Picture(2, u"c.bmp").Picture(3, u"d.bmp");
    f.U32(5).U32(0).U32(4).Raw(events, sizeof(events)).End();
    return f.bytes;
}

TEST(ProjectFileLoad, AMissingMovieAnsweredYesLeavesItsSlotUnusedAndTheNextSaveDropsIt) {
    const std::vector<uint8_t> bytes = ProjectWithMedia();
    FakeLoader loader;
    loader.failing.insert(u"\\動画.avi");
    ScriptedPrompt prompt(true);
    std::unique_ptr<Project> p = Project::Create();
    ASSERT_TRUE(ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/p", *p, loader, prompt));
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], std::string("ファイル\"\\動画.avi") + kMissingTail);
    const FileEntry& movie = p->files[1];
    EXPECT_FALSE(movie.Used());
    EXPECT_FALSE(movie.loaded);
    EXPECT_EQ(movie.colour, 0u);
    EXPECT_EQ(movie.path[0], 0);
    EXPECT_TRUE(p->files[0].Used());
    EXPECT_TRUE(p->files[3].Used());
    EXPECT_EQ(p->tracks[0].Count(), 4u);  // the event naming the empty slot stays

    std::vector<uint8_t> saved;
    ASSERT_TRUE(ProjectFile::WriteToMemory(*p, saved));
    EXPECT_EQ(saved.size(), bytes.size() - (4 + 8 + 8 + 520 + 4));
    FakeLoader again;
    std::unique_ptr<Project> q = Project::Create();
    ASSERT_TRUE(ProjectFile::ReadFromMemory(saved.data(), saved.size(), u"/p", *q, again, prompt));
    EXPECT_EQ(again.opened, (std::vector<std::u16string>{u"a.bmp", u"c.bmp", u"d.bmp"}));
}

TEST(ProjectFileLoad, AMissingPictureAnsweredNoFailsTheRead) {
    const std::vector<uint8_t> bytes = ProjectWithMedia();
    FakeLoader loader;
    loader.failing.insert(u"c.bmp");
    ScriptedPrompt prompt(false);
    std::unique_ptr<Project> p = Project::Create();
    EXPECT_FALSE(
        ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/p", *p, loader, prompt));
    EXPECT_EQ(prompt.questions,
              std::vector<std::string>{std::string("ファイル\"c.bmp") + kMissingTail});
    // Reading stopped at the answer.
    EXPECT_EQ(loader.opened.back(), u"c.bmp");
}

TEST(ProjectFileLoad, ATextThatCannotBeMadeAsksWithTheText) {
    const uint8_t font[92] = {};
    FileBytes f;
    f.Magic().Version(0x00020000).U32(4).U32(6).U32(3).U32(0x808080).Raw(font, 92).U32(8);
    f.Raw(u"題名\0\0", 8).End();
    FakeLoader loader;
    loader.failing.insert(u"題名");
    for (bool answer : {true, false}) {
        ScriptedPrompt prompt(answer);
        std::unique_ptr<Project> p = Project::Create();
        EXPECT_EQ(
            ProjectFile::ReadFromMemory(f.bytes.data(), f.bytes.size(), u"/p", *p, loader, prompt),
            answer);
        ASSERT_EQ(prompt.questions.size(), 1u);
        EXPECT_EQ(prompt.questions[0],
                  "テキスト\"題名\"の作成に失敗しました。続行しますか？\n続行"
                  "すると、このファイルの設定は破棄されます。");
        EXPECT_FALSE(p->files[6].Used());
        EXPECT_TRUE(p->files[6].text.empty());
    }
}

TEST(ProjectFileLoad, TheLoaderSeesTheStoredDescriptor) {
    struct Probe : FakeLoader {
        bool OpenEntry(Project& owner, FileEntry& entry) override {
            kind = entry.kind;
            duration = entry.referenceDuration;
            folder = PathView(owner.projectFolder);
            base = PathView(owner.settings.basePath);
            return FakeLoader::OpenEntry(owner, entry);
        }
        FileKind kind = FileKind::None;
        RefTime duration = 0;
        std::u16string folder, base;
    } loader;
    FileBytes f;
    f.Magic().Version(0x00020000).Settings();
    f.U32(4).U32(1).U32(1).I64(417083).Path(u"\\m.avi").U32(0x00000001).End();
    ScriptedPrompt prompt;
    std::unique_ptr<Project> p = Project::Create();
    ASSERT_TRUE(ProjectFile::ReadFromMemory(f.bytes.data(), f.bytes.size(), u"/home/u/proj", *p,
                                            loader, prompt));
    EXPECT_EQ(loader.kind, FileKind::Movie);
    EXPECT_EQ(loader.duration, 417083);
    EXPECT_EQ(loader.folder, u"/home/u/proj");
    EXPECT_EQ(loader.base, u"\\base");
    EXPECT_EQ(p->files[1].colour, 1u);  // the stored colour replaces the loader's "none"
}

class ProjectFileDisk : public ::testing::Test {
  protected:
    testing::ScratchFolder dir;
    FakeLoader loader;
    ScriptedPrompt prompt{true};
};

TEST_F(ProjectFileDisk, WriteAndReadSetTheProjectFolder) {
    std::unique_ptr<Project> p = NewProject();
    p->files[2].kind = FileKind::Image;
    SetPath(p->files[2].path, u"\\x.bmp");
    const std::u16string path = dir.PathOf("saved.xqm");
    ASSERT_TRUE(ProjectFile::Write(path, *p));
    EXPECT_EQ(PathView(p->projectFolder), dir.Path());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Native()), {}), 1);

    std::unique_ptr<Project> q = Project::Create();
    ASSERT_TRUE(ProjectFile::Read(path, *q, loader, prompt));
    EXPECT_EQ(PathView(q->projectFolder), dir.Path());
    EXPECT_TRUE(q->files[2].Used());
    // Backslashes separate folders too.
    std::unique_ptr<Project> r = Project::Create();
    std::u16string backslashed = path;
    std::replace(backslashed.begin(), backslashed.end(), u'/', u'\\');
    ASSERT_TRUE(ProjectFile::Read(backslashed, *r, loader, prompt));
    EXPECT_EQ(r->projectFolder[0], u'\\');
}

TEST_F(ProjectFileDisk, FilesThatCannotBeOpenedFail) {
    std::unique_ptr<Project> p = Project::Create();
    EXPECT_FALSE(ProjectFile::Read(dir.PathOf("missing.xqm"), *p, loader, prompt));
    EXPECT_FALSE(ProjectFile::Read(dir.Path(), *p, loader, prompt));
    EXPECT_FALSE(ProjectFile::Write(dir.PathOf("no/such/folder.xqm"), *NewProject()));
    EXPECT_FALSE(ProjectFile::Write(dir.Path(), *NewProject()));
}

TEST_F(ProjectFileDisk, AFailedSaveLeavesTheOldFileAndFolderAlone) {
    dir.Put("old.xqm", "the previous save");
    const std::u16string path = dir.PathOf("old.xqm");
    std::unique_ptr<Project> p = NewProject();
    SetPath(p->projectFolder, u"/elsewhere");

    // An entry that cannot be stored fails before the disk is touched.
    p->files[0].kind = FileKind(12);
    EXPECT_FALSE(ProjectFile::Write(path, *p));
    p->files[0].kind = FileKind::None;

    // A write that the file system refuses halfway: the file size limit stands in for a full
    // disk, and holds for root as well.
    for (int t = 0; t < 64; ++t) {
        p->tracks[t].Reset(100);
    }
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ProjectFile::Write(path, *p);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(dir.Get("old.xqm"), "the previous save");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Native()), {}), 1);
    EXPECT_EQ(PathView(p->projectFolder), u"/elsewhere");

    ASSERT_TRUE(ProjectFile::Write(path, *p));
    EXPECT_EQ(dir.Get("old.xqm").size(), 568u + 64 * (12 + 100 * 152));
}

TEST_F(ProjectFileDisk, NestedProjectsReadTheirOwnFilesAndCyclesStop) {
    loader.readNested = true;
    loader.prompt = &prompt;
    std::filesystem::create_directory(dir.Native() + "/sub");
    // sub/b.xqm names a picture beside itself; a.xqm names b, and itself.
    FileBytes b;
    b.Magic().Version(0x00020000).Settings().Picture(0, u"\\pic.bmp").End();
    dir.Put("sub/b.xqm", std::string(b.bytes.begin(), b.bytes.end()));
    FileBytes a;
    a.Magic().Version(0x00020000).Settings();
    a.U32(4).U32(0).U32(5).Path(u"\\sub\\b.xqm").U32(0);
    a.U32(4).U32(1).U32(5).Path(u"\\a.xqm").U32(0).End();
    dir.Put("a.xqm", std::string(a.bytes.begin(), a.bytes.end()));

    std::unique_ptr<Project> p = Project::Create();
    ASSERT_TRUE(ProjectFile::Read(dir.PathOf("a.xqm"), *p, loader, prompt));
    EXPECT_TRUE(p->files[0].Used());
    const auto* nested = dynamic_cast<FakeLoader::Source*>(p->files[0].loaded.get());
    ASSERT_TRUE(nested && nested->nested);
    EXPECT_EQ(std::u16string(PathView(nested->nested->projectFolder)), dir.Path() + u"\\sub");
    // The project naming itself is refused once, at the first repetition, and the user asked.
    EXPECT_FALSE(p->files[1].Used());
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], std::string("ファイル\"\\a.xqm") + kMissingTail);

    // Reading the same file again afterwards is not mistaken for a cycle.
    std::unique_ptr<Project> again = Project::Create();
    EXPECT_TRUE(ProjectFile::Read(dir.PathOf("a.xqm"), *again, loader, prompt));
}

TEST_F(ProjectFileDisk, AVeryLongChainOfNestedProjectsIsCutOff) {
    loader.readNested = true;
    loader.prompt = &prompt;
    // n0 names n1, which names n2, and so on; the last names nothing.
    const int files = 80;
    for (int i = 0; i < files; ++i) {
        FileBytes f;
        f.Magic().Version(0x00020000);
        if (i + 1 < files) {
            const std::string next = "\\n" + std::to_string(i + 1) + ".xqm";
            f.U32(4).U32(0).U32(5).Path(FromUtf8(next)).U32(0);
        }
        f.End();
        dir.Put("n" + std::to_string(i) + ".xqm", std::string(f.bytes.begin(), f.bytes.end()));
    }
    std::unique_ptr<Project> p = Project::Create();
    ASSERT_TRUE(ProjectFile::Read(dir.PathOf("n0.xqm"), *p, loader, prompt));
    // The read that would go deeper than the limit fails, and its parent asks once.
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0], std::string("ファイル\"\\n64.xqm") + kMissingTail);
    int depth = 0;
    for (const Project* at = p.get(); at->files[0].Used(); ++depth) {
        at = dynamic_cast<FakeLoader::Source&>(*at->files[0].loaded).nested.get();
    }
    EXPECT_EQ(depth, 63);
}

}  // namespace
}  // namespace kelvane

// Every way a project fails to load names the file and what is wrong with it, the project file
// itself or a file it refers to.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "composition_test_support.h"
#include "media/ProjectLoader.h"
#include "model/ProjectFile.h"
#include "platform/FailureNote.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompt.h"

namespace kelvane {
namespace {

using testing::NewProject;
using testing::ScratchFolder;
using testing::ScriptedPrompt;

void Le32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(char((value >> (8 * i)) & 0xFF));
    }
}

// "MPRJ", then a version chunk.
std::string Start(uint32_t version = 0x00020000) {
    std::string bytes = "MPRJ";
    Le32(bytes, 1);
    Le32(bytes, version);
    return bytes;
}

// A project with one file entry described but not loaded, as its file stores it.
std::string ProjectNaming(FileKind kind, const std::string& path) {
    auto project = NewProject(16, 16);
    FileEntry& entry = project->files[7];
    entry.kind = kind;
    std::memset(entry.path, 0, sizeof(entry.path));
    EXPECT_TRUE(CopyPath(entry.path, FromUtf8(path)));
    entry.colour = kNoTransparentColour;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ProjectFile::WriteToMemory(*project, bytes));
    return std::string(bytes.begin(), bytes.end());
}

// Reads the project answering No to every question; the failure note afterwards.
FailureNote ReadAndNote(const std::string& path, bool& read) {
    ClearFailureNote();
    ScriptedPrompt prompt(false);
    ProjectLoader loader(prompt);
    auto project = Project::Create();
    read = ProjectFile::Read(FromUtf8(path), *project, loader, prompt);
    return LastFailureNote();
}

TEST(FailureReasons, EveryUnreadableProjectNamesTheFileAndWhatIsWrong) {
    ScratchFolder dir;
    std::filesystem::create_directories(dir.File("folder.xqm"));
    dir.Put("picture.xqm", "GIF89a\x01\x00\x01\x00");
    dir.Put("garbage.avi", std::string(4096, 'x'));
    std::string whole = ProjectNaming(FileKind::Image, "");
    dir.Put("cut.xqm", whole.substr(0, 300));
    dir.Put("newer.xqm", Start(0x00030001));
    std::string past = Start();
    Le32(past, 5);     // a track chunk at byte 12
    Le32(past, 0);     // track 0
    Le32(past, 1000);  // of 1000 events, none of which follow
    dir.Put("past.xqm", past);
    std::string unknown = Start();
    Le32(unknown, 99);
    dir.Put("unknown.xqm", unknown);
    dir.Put("movie.xqm", ProjectNaming(FileKind::Movie, dir.File("garbage.avi")));
    dir.Put("missing-movie.xqm", ProjectNaming(FileKind::Movie, dir.File("gone.avi")));
    dir.Put("nested.xqm", ProjectNaming(FileKind::Project, dir.File("newer.xqm")));
#ifdef KELVANE_EFFECT_TEST_DIR
    const std::string incomplete = std::string(KELVANE_EFFECT_TEST_DIR) + "/incomplete.so";
    dir.Put("effect.xqm", ProjectNaming(FileKind::Effect, incomplete));
#endif

    struct Case {
        std::string project;
        std::string file;  // the file named
        std::string reason;
    };
    std::vector<Case> cases = {
        {"absent.xqm", "absent.xqm", "ファイルが見つかりません。"},
        {"no-folder/p.xqm", "no-folder/p.xqm", "フォルダーが見つかりません。"},
        {"folder.xqm", "folder.xqm", "ファイルではなくフォルダーです。"},
        {"picture.xqm", "picture.xqm", "プロジェクトファイルではありません。"},
        {"cut.xqm", "cut.xqm", "ファイルが 300 バイト目で途切れています。"},
        {"newer.xqm", "newer.xqm", "対応していないバージョン 3.1 です。"},
        {"past.xqm", "past.xqm", "12 バイト目のチャンクがファイルの終わりを越えています。"},
        {"unknown.xqm", "unknown.xqm", "12 バイト目に不明なチャンク (タグ 99) があります。"},
        // A referenced file the user would not go on without is why the read failed.
        {"movie.xqm", "garbage.avi", "動画としてデコードできません。"},
        {"missing-movie.xqm", "gone.avi", "ファイルが見つかりません。"},
        {"nested.xqm", "newer.xqm", "対応していないバージョン 3.1 です。"},
    };
#ifdef KELVANE_EFFECT_TEST_DIR
    cases.push_back({"effect.xqm", "",
                     "プラグインに必要な関数 (EnumEffect, QueryEffect, TransformEffect) がありま"
                     "せん。"});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.project);
        bool read = true;
        const FailureNote note = ReadAndNote(dir.File(c.project), read);
        EXPECT_FALSE(read);
        EXPECT_EQ(note.path, c.file.empty() ? incomplete : dir.File(c.file));
        EXPECT_EQ(note.reason, c.reason);
    }

    // Going on without the file deals with it: nothing is left to report.
    ClearFailureNote();
    ScriptedPrompt yes(true);
    ProjectLoader loader(yes);
    auto project = Project::Create();
    EXPECT_TRUE(ProjectFile::Read(FromUtf8(dir.File("movie.xqm")), *project, loader, yes));
    EXPECT_EQ(LastFailureNote().reason, "");
}

// Root reads everything: the check runs as nobody in a child process.
TEST(FailureReasons, AProjectClosedToTheUserSaysAccessIsDenied) {
    ScratchFolder dir;
    dir.Put("closed.xqm", Start());
    std::filesystem::permissions(dir.File("closed.xqm"), std::filesystem::perms::owner_write);
    std::filesystem::permissions(dir.Native(), std::filesystem::perms(0755));
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        bool read = true;
        const FailureNote note = ReadAndNote(dir.File("closed.xqm"), read);
        const std::string text = note.path + "\n" + note.reason;
        const bool written = ::write(pipe[1], text.data(), text.size()) == ssize_t(text.size());
        ::_exit(!read && written ? 0 : 1);
    }
    ::close(pipe[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipe[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, size_t(n));
    }
    ::close(pipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text, dir.File("closed.xqm") + "\nアクセスが拒否されました。");
}

}  // namespace
}  // namespace kelvane

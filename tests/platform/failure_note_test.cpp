#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/FailureNote.h"
#include "platform/File.h"
#include "support/ScratchFolder.h"

namespace kelvane {
namespace {

using testing::ScratchFolder;

// Runs `body` in a child process whose files may not grow past `limit` bytes (a write past it
// fails with EFBIG, as a full disk fails with ENOSPC); the note it leaves, as "path\nreason".
std::string NoteUnderFileSizeLimit(uint64_t limit, bool (*body)(const std::string&),
                                   const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return "no pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit r{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &r);
        ClearFailureNote();
        const bool ok = body(path);
        const std::string text = LastFailureNote().path + "\n" + LastFailureNote().reason;
        const bool written = ::write(fds[1], text.data(), text.size()) == ssize_t(text.size());
        ::_exit(!ok && written ? 0 : 1);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed: " + text;
}

TEST(FailureNote, WritesThatFindNoRoomNameTheFileAndKeepTheOldOne) {
    ScratchFolder dir;
    const std::string saved = dir.File("saved.xqm");
    dir.Put("saved.xqm", "old contents");
    // A save replaces the file only once the new one is complete.
    EXPECT_EQ(NoteUnderFileSizeLimit(
                  100,
                  [](const std::string& path) {
                      const std::string bytes(4096, 'n');
                      return WriteWholeFile(FromUtf8(path), bytes.data(), bytes.size());
                  },
                  saved),
              saved + "\nファイルの大きさが上限を超えました。");
    EXPECT_EQ(dir.Get("saved.xqm"), "old contents");

    const std::string written = dir.File("written.bmp");
    EXPECT_EQ(NoteUnderFileSizeLimit(
                  100,
                  [](const std::string& path) {
                      File file;
                      const std::string bytes(4096, 'n');
                      return file.Open(FromUtf8(path), File::Mode::CreateWrite) &&
                             file.Write(bytes.data(), bytes.size());
                  },
                  written),
              written + "\nファイルの大きさが上限を超えました。");
}

TEST(FailureNote, TheMessageGetsTheNoteAsItsSecondLine) {
    ScratchFolder dir;
    std::vector<uint8_t> bytes;
    ClearFailureNote();
    EXPECT_EQ(WithFailureNote("読み込みに失敗しました。"), "読み込みに失敗しました。");
    EXPECT_FALSE(ReadWholeFile(dir.Path(), bytes));
    EXPECT_EQ(WithFailureNote("読み込みに失敗しました。"),
              "読み込みに失敗しました。\n" + dir.Native() + ": ファイルではなくフォルダーです。");
    EXPECT_FALSE(ReadWholeFile(dir.PathOf("none/p.xqm"), bytes));
    EXPECT_EQ(LastFailureNote().reason, "フォルダーが見つかりません。");
}

}  // namespace
}  // namespace kelvane

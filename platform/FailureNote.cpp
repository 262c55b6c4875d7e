#include "platform/FailureNote.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Path.h"
#include "platform/SystemErrorText.h"

namespace kelvane {

namespace {
thread_local FailureNote lastNote;
}

void NoteFailure(std::string_view path, std::string_view reason) {
    lastNote.path.assign(path);
    lastNote.reason.assign(reason);
    lastNote.system = false;
}

void NoteFailure(std::u16string_view path, std::string_view reason) {
    NoteFailure(ToNativePath(path), reason);
}

void NoteSystemFailure(std::string_view path, int errorNumber) {
    NoteFailure(path, SystemErrorText(errorNumber, path));
    lastNote.system = true;
}

void NoteSystemFailure(std::u16string_view path, int errorNumber) {
    NoteSystemFailure(ToNativePath(path), errorNumber);
}

void NoteFileFailure(std::u16string_view path, std::string_view reason) {
    const std::string native = ToNativePath(path);
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        NoteSystemFailure(native, errno);
        return;
    }
    struct stat info {};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    ::close(fd);
    if (folder) {
        NoteSystemFailure(native, EISDIR);
    } else {
        NoteFailure(native, reason);
    }
}

void ClearFailureNote() {
    lastNote = FailureNote{};
}

const FailureNote& LastFailureNote() {
    return lastNote;
}

std::string FailureLine(const FailureNote& note) {
    if (note.reason.empty()) {
        return {};
    }
    return note.path.empty() ? note.reason : note.path + ": " + note.reason;
}

std::string WithFailureNote(std::string_view message, const FailureNote& note) {
    std::string text(message);
    const std::string line = FailureLine(note);
    if (!line.empty()) {
        text += "\n" + line;
    }
    return text;
}

std::string WithFailureNote(std::string_view message) {
    return WithFailureNote(message, lastNote);
}

}  // namespace kelvane

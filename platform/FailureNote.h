#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Why the last failed operation on this thread failed: the file concerned and a sentence that
// says what is wrong with it, for the second line of the message that the caller shows. The
// operations keep returning plain success flags and the caller keeps choosing the message; the
// note rides beside them, as the system's last-error value does. Each layer notes what it knows
// best (the file layer the system's reason, the project reader where the file breaks, the media
// layer a file that does not decode); a later note replaces an earlier one. A caller that is
// about to report on an operation clears the note before it, so that nothing older shows.
struct FailureNote {
    std::string path;    // UTF-8; may be empty when no single file is to blame
    std::string reason;  // a Japanese sentence; empty: nothing noted
    // The file could not be reached at all (missing, closed to us, a full disk): the system's
    // reason, not one about the file's contents.
    bool system = false;
};

void NoteFailure(std::string_view path, std::string_view reason);
void NoteFailure(std::u16string_view path, std::string_view reason);
// The system's reason for `errorNumber` (an errno value) about `path`.
void NoteSystemFailure(std::string_view path, int errorNumber);
void NoteSystemFailure(std::u16string_view path, int errorNumber);
// `reason` about `path`, unless the file cannot even be opened for reading (missing, a folder,
// closed to us): then the system's reason, which says more.
void NoteFileFailure(std::u16string_view path, std::string_view reason);
void ClearFailureNote();
const FailureNote& LastFailureNote();

// The note as the message's second line: "path: reason", or the reason alone.
std::string FailureLine(const FailureNote& note);
// `message`, then the last note of this thread on a line of its own when there is one.
std::string WithFailureNote(std::string_view message);
std::string WithFailureNote(std::string_view message, const FailureNote& note);

}  // namespace kelvane

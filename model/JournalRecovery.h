#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

class Document;
class UserPrompt;

// One crash journal read back.
struct RecoveredJournal {
    enum class State {
        Restorable,
        NoEdits,     // cut before its first edit was whole: nothing was lost
        Unreadable,  // damaged, or the project file it stands on changed since
    };
    State state = State::Unreadable;
    std::u16string path;    // the project's file; empty for a new project
    std::u16string folder;  // the project folder its relative paths resolve against
    int64_t lastEditMillis = 0;
    // The project file that saving at the journal's last whole edit would have written.
    std::vector<uint8_t> bytes;
};

// Reads a journal's bytes (see JournalFormat.h). A journal that stands on a project file reads
// that file too, without loading any media.
RecoveredJournal ReadRecoveryJournal(const std::vector<uint8_t>& journal);

// The start-up's look at the journals in `folder` (native) that no running process holds, oldest
// first: a journal cut before its first edit is removed; an unreadable one is moved into
// "discarded/" with a message naming it; for the others the user is asked whether to restore.
// Yes restores it into `doc` (modified, under the project's own name) and removes the journal,
// and no more are asked about (the rest wait for the next start); No moves it into "discarded/";
// Cancel keeps it. True when a project was restored.
bool OfferRecovery(const std::string& folder, Document& doc, UserPrompt& prompt);

// The question for one journal: the question, the note on the undo history, the project and the
// time of its last edit (local time).
std::string RecoveryQuestion(const RecoveredJournal& journal);

}  // namespace kelvane

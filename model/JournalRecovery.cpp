#include "model/JournalRecovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "model/Document.h"
#include "model/JournalFormat.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/RecoveryMessages.h"
#include "model/SourceLoader.h"
#include "platform/LockedFile.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// Takes every entry as described and loads nothing: the base file of a journal is read for its
// descriptors and events only.
class DescriptorLoader final : public SourceLoader {
  public:
    bool OpenEntry(Project&, FileEntry& entry) override {
        entry.colour = kNoTransparentColour;
        return true;
    }
    bool MakeText(Project&, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override {
        if (!entry.SetText(text)) {
            return false;
        }
        entry.kind = FileKind::Text;
        entry.colour = TextKeyColour(textColour);
        entry.font = font;
        return true;
    }
};

// Never asked: the descriptor loader fails nothing. Should a question come, the read stops.
class NoQuestions final : public UserPrompt {
  public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
    bool AskOkCancel(const std::string&) override { return false; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::Cancel; }
};

bool SameBase(std::u16string_view path, const journal::BaseFile& base) {
    struct stat info {};
    return ::stat(ToNativePath(path).c_str(), &info) == 0 && uint64_t(info.st_size) == base.size &&
           int64_t(info.st_mtim.tv_sec) == base.seconds &&
           int64_t(info.st_mtim.tv_nsec) == base.nanoseconds;
}

// Moves a journal into "discarded/" beside it; the new path, or the old one when it could not
// be moved (it is then removed, so that it is never asked about again).
std::string SetAside(const fs::path& journal) {
    std::error_code error;
    const fs::path aside = journal.parent_path() / "discarded";
    fs::create_directories(aside, error);
    const fs::path target = aside / journal.filename();
    fs::rename(journal, target, error);
    if (error) {
        fs::remove(journal, error);
        return journal.string();
    }
    return target.string();
}

std::string LocalTime(int64_t millis) {
    const std::time_t seconds = std::time_t(millis / 1000);
    std::tm local{};
    char text[64] = "";
    if (::localtime_r(&seconds, &local) != nullptr) {
        std::strftime(text, sizeof(text), "%Y/%m/%d %H:%M:%S", &local);
    }
    return text;
}

}  // namespace

RecoveredJournal ReadRecoveryJournal(const std::vector<uint8_t>& journal) {
    RecoveredJournal out;
    journal::Recovered info;
    switch (journal::Read(journal.data(), journal.size(), info, nullptr)) {
        case journal::ReadResult::NoEdits:
            out.state = RecoveredJournal::State::NoEdits;
            return out;
        case journal::ReadResult::Unreadable:
            return out;
        case journal::ReadResult::Restorable:
            break;
    }
    std::unique_ptr<Project> project = Project::Create();
    if (!project) {
        return out;
    }
    if (info.hasBaseFile) {
        DescriptorLoader loader;
        NoQuestions prompt;
        project->ApplyDefaults();
        if (!SameBase(info.path, info.baseFile) ||
            !ProjectFile::Read(info.path, *project, loader, prompt)) {
            return out;
        }
    }
    if (journal::Read(journal.data(), journal.size(), info, project.get()) !=
            journal::ReadResult::Restorable ||
        !ProjectFile::WriteToMemory(*project, out.bytes)) {
        return out;
    }
    out.state = RecoveredJournal::State::Restorable;
    out.path = info.path;
    out.folder = std::u16string(PathView(project->projectFolder));
    out.lastEditMillis = info.lastEditMillis;
    return out;
}

std::string RecoveryQuestion(const RecoveredJournal& journal) {
    std::string text = messages::kRecoveryQuestion;
    text += "\n";
    text += messages::kRecoveryNoHistory;
    text += "\n";
    text += messages::kRecoveryProject;
    text +=
        journal.path.empty() ? std::string(messages::kRecoveryNewProject) : ToUtf8(journal.path);
    text += "\n";
    text += messages::kRecoveryLastEdit;
    text += LocalTime(journal.lastEditMillis);
    return text;
}

bool OfferRecovery(const std::string& folder, Document& doc, UserPrompt& prompt) {
    std::error_code error;
    std::vector<fs::path> journals;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".kvj" && entry.is_regular_file(error)) {
            journals.push_back(entry.path());
        }
    }
    // Named by process and time: in name order, the oldest of one process first.
    std::sort(journals.begin(), journals.end());
    for (const fs::path& path : journals) {
        LockedFile held;
        std::vector<uint8_t> bytes;
        if (!held.OpenExisting(path.string()) || !held.ReadFrom(0, bytes)) {
            continue;  // a running program's, or gone
        }
        const RecoveredJournal journal = ReadRecoveryJournal(bytes);
        switch (journal.state) {
            case RecoveredJournal::State::NoEdits:
                fs::remove(path, error);
                continue;
            case RecoveredJournal::State::Unreadable:
                prompt.ShowError(std::string(messages::kRecoveryUnreadable) + "\n" +
                                 SetAside(path));
                continue;
            case RecoveredJournal::State::Restorable:
                break;
        }
        switch (prompt.AskYesNoCancel(RecoveryQuestion(journal))) {
            case PromptAnswer::Yes:
                if (doc.RestoreDocument(journal.path, journal.folder, journal.bytes)) {
                    fs::remove(path, error);
                    return true;
                }
                break;  // told already; the journal stays for another try
            case PromptAnswer::No:
                SetAside(path);
                break;
            case PromptAnswer::Cancel:
                break;
        }
    }
    return false;
}

}  // namespace kelvane

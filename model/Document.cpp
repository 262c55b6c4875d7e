#include "model/Document.h"

#include <new>

#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/FileTableCommands.h"
#include "model/ProjectSettingsCommands.h"
#include "model/RecoveryJournal.h"
#include "model/TemplateCommands.h"
#include "model/TimelineCommands.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

std::unique_ptr<Project> NewDefaultProject() {
    std::unique_ptr<Project> project = Project::Create();
    if (project) {
        project->ApplyDefaults();
        CopyPath(project->projectFolder, ExecutableFolder());  // a folder too long stays empty
    }
    return project;
}

// The project folder follows the file: its path up to the last separator.
void SetProjectFolder(Project& project, std::u16string_view path) {
    if (!CopyPath(project.projectFolder, FolderOf(path))) {
        project.projectFolder[0] = 0;
    }
}

}  // namespace

Document::Document(DocumentServices& services, UserPrompt& prompt, Clipboard& clipboard)
    : services_(services), prompt_(prompt), clipboard_(clipboard) {
    project_ = NewDefaultProject();
    if (!project_) {
        throw std::bad_alloc();
    }
    files_ = std::make_unique<FileTableCommands>(*this);
    timeline_ = std::make_unique<TimelineCommands>(*this);
    templates_ = std::make_unique<TemplateCommands>(*this);
    settings_ = std::make_unique<ProjectSettingsCommands>(*this);
}

Document::~Document() {
    if (journal_) {
        journal_->Remove();  // a clean close: whatever was not saved was given up
    }
}

void Document::EnableRecovery(const std::string& folder) {
    journal_ = std::make_unique<RecoveryJournal>(folder);
    journal_->Restart(*project_, path_, !path_.empty() && !modified_);
    journalPending_ = modified_;
}

void Document::RecordEdit() {
    journalPending_ = false;
    if (journal_ && modified_) {
        journal_->Record(*project_);
    }
}

bool Document::RestoreDocument(std::u16string_view path, std::u16string_view folder,
                               const std::vector<uint8_t>& bytes) {
    std::unique_ptr<Project> project = Project::Create();
    if (!project) {
        return false;
    }
    project->ApplyDefaults();
    if (!services_.ReadProjectBytes(bytes, folder, *project)) {
        prompt_.ShowError(messages::kLoadFailed);
        return false;
    }
    project->CopyDefaultMethodToTracks();
    InstallProject(std::move(project), path, false);
    SetModified(true);
    RecordEdit();  // the new journal holds the restored project before the old one goes
    return true;
}

std::u16string Document::Title() const {
    std::u16string title = u"新規プロジェクト";
    if (!path_.empty()) {
        const size_t cut = path_.find_last_of(u"\\/");
        title = cut == std::u16string::npos ? path_ : path_.substr(cut + 1);
    }
    return title + u" - Kelvane";
}

void Document::SetPath(std::u16string_view path) {
    const std::u16string before = Title();
    path_ = std::u16string(path);
    const std::u16string after = Title();
    if (after != before) {
        observers_.title_.Notify(nullptr, after);
    }
}

void Document::SetModified(bool modified) {
    journalPending_ = journalPending_ || modified;
    if (modified_ != modified) {
        modified_ = modified;
        observers_.modified_.Notify(nullptr, modified);
    }
}

void Document::NotifyHistory() {
    if (CanUndo() != reportedUndo_ || CanRedo() != reportedRedo_) {
        reportedUndo_ = CanUndo();
        reportedRedo_ = CanRedo();
        observers_.undoRedo_.Notify(nullptr, reportedUndo_, reportedRedo_);
    }
}

void Document::InstallProject(std::unique_ptr<Project> project, std::u16string_view path,
                              bool fromFile) {
    views_.preview = PreviewRequest{};
    views_.preview.pending = true;
    views_.drag = DragState{};
    history_.Clear();
    project_ = std::move(project);
    SetModified(false);
    SetPath(path);
    if (journal_) {
        journal_->Restart(*project_, path, fromFile);
    }
    journalPending_ = false;
    NotifyHistory();
    if (rebuildViews_) {
        rebuildViews_();
    }
    UpdateAllViews(nullptr, UpdateHint::All);
}

bool Document::NewDocument() {
    // The old project and its snapshots go first, so that both never need memory at once.
    history_.Clear();
    NotifyHistory();
    std::unique_ptr<Project> project = NewDefaultProject();
    if (!project) {
        return false;
    }
    InstallProject(std::move(project), u"", false);
    return true;
}

bool Document::OpenDocument(std::u16string_view path) {
    std::unique_ptr<Project> project = Project::Create();
    if (!project) {
        return false;
    }
    project->ApplyDefaults();
    ClearFailureNote();
    if (!services_.ReadProject(path, *project)) {
        // The second line names the file and what is wrong with it.
        prompt_.ShowError(WithFailureNote(messages::kLoadFailed));
        return false;
    }
    SetProjectFolder(*project, path);
    project->CopyDefaultMethodToTracks();
    InstallProject(std::move(project), path, true);
    return true;
}

bool Document::SaveDocument(std::u16string_view path) {
    ClearFailureNote();
    if (!services_.WriteProject(path, *project_)) {
        prompt_.ShowError(WithFailureNote(messages::kSaveFailed));
        return false;
    }
    SetProjectFolder(*project_, path);
    SetPath(path);
    SetModified(false);
    if (journal_) {
        journal_->Restart(*project_, path, true);
    }
    journalPending_ = false;
    UpdateAllViews(nullptr, UpdateHint::All);
    return true;
}

void Document::UpdateAllViews(const void* sender, UpdateHint hint) {
    // Every edit ends by telling the views: the project is whole again and goes to the journal.
    if (journalPending_) {
        RecordEdit();
    }
    observers_.updates_.Notify(sender, sender, hint);
}

void Document::NotifySelection(const void* sender, const SelectionChange& change) {
    observers_.selection_.Notify(sender, sender, change);
}

bool Document::Checkpoint() {
    const bool kept = history_.Checkpoint(*project_);
    if (!kept) {
        prompt_.ShowError(messages::kCheckpointFailed);
    } else {
        SetModified(true);
    }
    NotifyHistory();
    return kept;
}

Project& Document::BeginEdit() {
    if (journalPending_) {
        RecordEdit();  // an edit that ended without telling the views
    }
    Checkpoint();
    SetModified(true);
    return *project_;
}

void Document::ShowMemoryLost() {
    prompt_.ShowError(messages::kMemoryLost);
}

void Document::Undo() {
    // A restore that fails part way is not reported: the project stays as far as it got.
    if (history_.Undo(*project_, services_)) {
        SetModified(true);
        NotifyHistory();
        UpdateAllViews(nullptr, UpdateHint::All);
    }
}

void Document::Redo() {
    if (history_.Redo(*project_, services_)) {
        SetModified(true);
        NotifyHistory();
        UpdateAllViews(nullptr, UpdateHint::All);
    }
}

}  // namespace kelvane

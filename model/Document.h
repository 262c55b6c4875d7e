#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/DocumentObservers.h"
#include "model/EditHistory.h"
#include "model/FileTableCommands.h"
#include "model/Project.h"
#include "model/ProjectSettingsCommands.h"
#include "model/TemplateCommands.h"
#include "model/TimelineCommands.h"
#include "model/UpdateHint.h"
#include "model/ViewState.h"

namespace kelvane {

class Clipboard;
class DocumentServices;
class RecoveryJournal;
class UserPrompt;

// The open project: its life cycle (new, open, save), the modified flag, the edit history and
// the notifications. The project is read through GetProject(); every change goes through the
// command units (Files, Timeline, Templates, Settings), each of which takes a checkpoint, changes
// the project, sets the modified flag and notifies. Messages and questions go through the
// UserPrompt; nothing here needs a window. UI thread only.
class Document {
  public:
    // The three services must outlive the document. Starts with a project holding the defaults.
    Document(DocumentServices& services, UserPrompt& prompt, Clipboard& clipboard);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // --- life cycle ---
    bool NewDocument();
    // The live project stays when the file cannot be read.
    bool OpenDocument(std::u16string_view path);
    bool SaveDocument(std::u16string_view path);
    // The path of the last open or save; empty for a new project.
    const std::u16string& PathName() const { return path_; }
    // The window title: the file name, or "新規プロジェクト", then " - Kelvane".
    std::u16string Title() const;
    bool IsModified() const { return modified_; }
    void SetModified(bool modified);

    // --- crash journal ---
    // From now on every completed edit is recorded in a journal in `folder` (native path) until
    // a save, a new or opened project, or the document's end (a clean close) removes it. Off
    // until called.
    void EnableRecovery(const std::string& folder);
    RecoveryJournal* Journal() { return journal_.get(); }
    // Installs a project recovered from a journal: `bytes` are the project file that saving at
    // its last edit would have written, read as an opened file is (media loaded, missing files
    // asked about) with `folder` as its project folder. It keeps `path` as its name (empty: a new
    // project), is modified, and has a fresh history. The live project stays on failure.
    bool RestoreDocument(std::u16string_view path, std::u16string_view folder,
                         const std::vector<uint8_t>& bytes);

    // --- edit history ---
    // Called before every change of the project. On failure the user is told that the edit
    // cannot be undone, and the edit goes on.
    bool Checkpoint();
    void Undo();
    void Redo();
    bool CanUndo() const { return history_.CanUndo(); }
    bool CanRedo() const { return history_.CanRedo(); }
    const EditHistory& History() const { return history_; }

    // --- reading and rendering ---
    const Project& GetProject() const { return *project_; }
    // For the renderer only: it advances the tracks' evaluation state and the sources' current
    // frames, which are not part of an edit. Never change the model through it.
    Project& ProjectForRendering() { return *project_; }

    // --- the commands, by subject ---
    FileTableCommands& Files() { return *files_; }
    TimelineCommands& Timeline() { return *timeline_; }
    TemplateCommands& Templates() { return *templates_; }
    ProjectSettingsCommands& Settings() { return *settings_; }
    // The records the views share (preview request, drag state, work event, template keys).
    ViewState& Views() { return views_; }

    // --- notifications ---
    DocumentObservers& Observers() { return observers_; }
    // Tells every view but the sender's what changed: a view that changed view state (a
    // preview request) passes the hint for the views concerned.
    void UpdateAllViews(const void* sender, UpdateHint hint);
    // The main frame rebuilds its views for a new or opened project.
    void SetRebuildViewsHandler(std::function<void()> handler) {
        rebuildViews_ = std::move(handler);
    }

  private:
    friend class FileTableCommands;
    friend class ProjectSettingsCommands;
    friend class TemplateCommands;
    friend class TimelineCommands;

    // For the command units: checkpoint and modified flag, the start of every edit. The
    // modified flag is set even when the checkpoint fails, because the edit goes on.
    Project& BeginEdit();
    Project& Model() { return *project_; }
    void ShowMemoryLost();
    void NotifySelection(const void* sender, const SelectionChange& change);
    DocumentServices& Services() { return services_; }
    UserPrompt& Prompt() { return prompt_; }
    Clipboard& SystemClipboard() { return clipboard_; }

    // Installs a new project and empties the history: new, open and restore. `fromFile`: the
    // project is what the file at `path` holds.
    void InstallProject(std::unique_ptr<Project> project, std::u16string_view path, bool fromFile);
    // Records the edit that ended in the journal.
    void RecordEdit();
    void SetPath(std::u16string_view path);
    // Reports the undo and redo availability when it changed.
    void NotifyHistory();

    DocumentServices& services_;
    UserPrompt& prompt_;
    Clipboard& clipboard_;
    std::unique_ptr<Project> project_;
    std::u16string path_;
    EditHistory history_;
    bool modified_ = false;
    bool reportedUndo_ = false;
    bool reportedRedo_ = false;
    ViewState views_;
    DocumentObservers observers_;
    std::function<void()> rebuildViews_;
    std::unique_ptr<FileTableCommands> files_;
    std::unique_ptr<TimelineCommands> timeline_;
    std::unique_ptr<TemplateCommands> templates_;
    std::unique_ptr<ProjectSettingsCommands> settings_;
    std::unique_ptr<RecoveryJournal> journal_;
    bool journalPending_ = false;  // an edit changed the project since the last record
};

}  // namespace kelvane

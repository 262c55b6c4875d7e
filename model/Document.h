#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

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

    // Installs a new project and empties the history: new and open.
    void InstallProject(std::unique_ptr<Project> project, std::u16string_view path);
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
};

}  // namespace kelvane

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/DocumentState.h"
#include "model/EditHistory.h"
#include "model/EventTemplate.h"
#include "model/Project.h"
#include "model/TrackEvent.h"

namespace kelvane {

class Clipboard;
class DocumentServices;
class UserPrompt;

// What the GUI keeps with the document for its views (the view font and the installed-font
// list). The document only holds it for as long as it lives.
class DocumentViewData {
  public:
    virtual ~DocumentViewData() = default;
};

// The document: owns the live project and its edit history, and is the only way the views and
// dialogs change the project. Every operation that changes it takes a checkpoint first, marks
// the document modified and then updates the views with a hint. Messages and questions go
// through the UserPrompt; nothing here needs a window.
class CVelmoDoc {
  public:
    using ViewObserver = std::function<void(const void* sender, uint32_t hint)>;
    using ObserverId = uint64_t;

    // The three services must outlive the document. Starts with a project holding the defaults.
    CVelmoDoc(DocumentServices& services, UserPrompt& prompt, Clipboard& clipboard);
    ~CVelmoDoc();
    CVelmoDoc(const CVelmoDoc&) = delete;
    CVelmoDoc& operator=(const CVelmoDoc&) = delete;

    // --- the framework's document commands ---
    bool OnNewDocument();
    // The live project stays when the file cannot be read.
    bool OnOpenDocument(std::u16string_view path);
    bool OnSaveDocument(std::u16string_view path);
    bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }

    // --- views ---
    const Project& GetProject() const { return *project_; }
    // For what is not an edit: selection flags and the renderer's evaluation state.
    Project& GetProject() { return *project_; }
    // A view registers with itself as owner; an update sent by a view skips that view.
    ObserverId AddView(const void* owner, ViewObserver observer);
    void RemoveView(ObserverId id);
    void UpdateAllViews(const void* sender, uint32_t hint);
    // The main frame rebuilds its views for a new or opened project.
    void SetRebuildViewsHandler(std::function<void()> handler) {
        rebuildViews_ = std::move(handler);
    }

    // --- edit history ---
    // Called before every change of the project. On failure the user is told that the edit
    // cannot be undone, and the edit goes on.
    bool Checkpoint();
    void OnEditUndo();
    void OnEditRedo();
    bool CanUndo() const { return history_.CanUndo(); }
    bool CanRedo() const { return history_.CanRedo(); }
    const EditHistory& History() const { return history_; }

    // --- project settings ---
    ProjectSettingsForm ProjectSettingsForDialog() const;
    // The dialog ended with OK. False, with nothing changed, for values outside the dialog's
    // ranges.
    bool OnProjectSettings(const ProjectSettingsForm& form);

    // --- the file table ---
    // The first unused slot from the cursor upward, wrapping from 1023 to 0; the cursor moves to
    // it. -1 after "ファイルが多すぎます。" when every slot is used.
    int32_t AllocateFileId(uint32_t& cursor);
    // Before each file of a long file operation: `done` of `total` files; false stops there.
    using FileProgress = std::function<bool(size_t done, size_t total)>;
    // Files dropped on the file list, in order, as one undoable step. A file that cannot be read
    // is skipped and the others go on; the files that failed are named in one message at the
    // end. Stops when the table is full or `progress` says so; what was added stays. False when
    // any file was not added.
    bool AddDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection,
                         const FileProgress& progress = {});
    // "ファイルの追加": a free slot, marked, then the property dialog (`properties` shows it and
    // applies it through ApplyFileProperties). The mark goes again when the slot stays unused.
    bool AddFile(FileSelection& selection, const std::function<void(uint32_t id)>& properties);
    // The property dialog's values for entry `id` (0 to 1023).
    FilePropertiesForm FilePropertiesForDialog(uint32_t id) const;
    // The property dialog of entry `id` ended with OK.
    bool ApplyFileProperties(uint32_t id, const FilePropertiesForm& form, FileSelection& selection);
    bool DuplicateFiles(FileSelection& selection);
    bool DeleteFiles(FileSelection& selection);

    // --- events of a track (the timeline) ---
    // A copy of `event` at its own start, without Selected: a template key or a dropped template.
    bool InsertEvent(uint32_t track, const TrackEvent& event, bool autoExtend);
    // A file dropped on a track at `frame`, as a new event with the defaults.
    bool DropFileOnTrack(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend);
    // The end of dragging the selected events from frame `anchor` to frame `frame`.
    bool MoveSelectedEvents(uint32_t track, uint32_t anchor, uint32_t frame, bool autoExtend);
    // The event property dialog ended with OK: `apply` changes each selected event.
    bool EditSelectedEvents(uint32_t track, const std::function<void(TrackEvent&)>& apply,
                            bool autoExtend);
    bool CopyTrackEvents(uint32_t track);
    bool CutTrackEvents(uint32_t track);
    bool PasteTrackEvents(uint32_t track, uint32_t cursorFrame, bool autoExtend);
    bool DeleteTrackEvents(uint32_t track);
    void SelectAllTrackEvents(uint32_t track);

    // --- the template list ---
    bool DropFileOnTemplate(uint32_t slot, int32_t fileId);
    // The event property dialog ended with OK for the templates carrying Selected.
    bool EditSelectedTemplates(const std::function<void(EventTemplate&)>& apply);
    bool CopyTemplates();
    bool CutTemplates();
    // Fills slots from `cursor` on; `cursor` ends on the last slot written.
    bool PasteTemplates(uint32_t& cursor);
    bool DeleteTemplates();
    void SelectAllTemplates();

    // --- run-time records the views share ---
    const std::array<char16_t, kTemplateSlots>& TemplateKeys() const { return templateKeys_; }
    PreviewRequest& Preview() { return preview_; }
    DragState& Drag() { return drag_; }
    TrackEvent& WorkEvent() { return workEvent_; }
    void SetViewData(std::unique_ptr<DocumentViewData> data) { viewData_ = std::move(data); }
    DocumentViewData* ViewData() const { return viewData_.get(); }

  private:
    struct Observer {
        ObserverId id;
        const void* owner;
        ViewObserver callback;
    };

    // Checkpoint and modified flag: the start of every edit. The modified flag is set even when
    // the checkpoint fails, because the edit goes on.
    void BeginEdit();
    // Installs a new project and empties the history: new and open.
    void InstallProject(std::unique_ptr<Project> project);
    Track* EditableTrack(uint32_t track);
    void AutoExtend(uint32_t start);
    void AutoExtendToLast(const Track& track);
    // Inserts the work event into a track after the checkpoint, then extends and updates.
    bool InsertWorkEvent(Track& track, bool autoExtend);
    // Puts the events on the clipboard with starts relative to the first; false when the
    // clipboard refused them.
    bool PutEvents(std::vector<TrackEvent>& events, bool relativeStarts);
    bool LoadFileInto(FileEntry& entry, std::u16string_view path);
    bool DuplicateSlot(const FileEntry& source, FileEntry& target);
    void ShowMemoryLost();

    DocumentServices& services_;
    UserPrompt& prompt_;
    Clipboard& clipboard_;
    std::unique_ptr<Project> project_;
    std::array<char16_t, kTemplateSlots> templateKeys_{};
    PreviewRequest preview_;
    DragState drag_;
    TrackEvent workEvent_{};
    EditHistory history_;
    bool modified_ = false;
    std::vector<Observer> observers_;
    ObserverId nextObserver_ = 1;
    std::function<void()> rebuildViews_;
    std::unique_ptr<DocumentViewData> viewData_;
};

}  // namespace kelvane

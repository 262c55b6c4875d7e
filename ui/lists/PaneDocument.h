#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "model/Document.h"
#include "model/FileTableCommands.h"
#include "model/TemplateCommands.h"

namespace kelvane {

// The document as the window's panes know it.
using UiDocument = Document;

using PaneSubscription = Subscription;

// Everything the file list, the template list and the preview pane ask of the document, in one
// place: the panes read the project through it and change it only through the document's
// operations, which take the checkpoint, set the modified flag and update the views.
class PaneDocument {
  public:
    explicit PaneDocument(UiDocument& document) : doc_(document) {}

    UiDocument& document() { return doc_; }
    const Project& project() const { return doc_.GetProject(); }
    // For the renderer only: it moves the tracks' evaluation state and the sources' frames.
    Project& projectForRendering() { return doc_.ProjectForRendering(); }

    // `onUpdate` gets the update hints of every change a sender other than `owner` makes.
    PaneSubscription watch(const void* owner, std::function<void(UpdateHint hint)> onUpdate) {
        return doc_.Observers().OnUpdate(
            owner,
            [onUpdate = std::move(onUpdate)](const void*, UpdateHint hint) { onUpdate(hint); });
    }
    void updateAllViews(const void* sender, UpdateHint hint) { doc_.UpdateAllViews(sender, hint); }

    // --- the preview request and the drag state ---
    const PreviewRequest& previewRequest() const { return doc_.Views().preview; }
    // What a paint of the preview leaves: not pending, or reset to nothing after a failure.
    void previewServed(bool failed);
    // The file list's request: file `id`, its frame 0.
    void requestFilePreview(const void* sender, uint32_t id);
    // The template list's request: the template in the work event.
    void requestEventPreview(const void* sender, const TrackEvent& event);
    const TrackEvent& workEvent() const { return doc_.Views().workEvent; }
    void beginDrag(DragSource source, int32_t fileId, const TrackEvent* event);
    void endDrag();
    bool dragActive() const { return doc_.Views().drag.active; }

    // --- the file table ---
    // One step of a long file operation: `done` of `total` files; false stops it.
    using FileProgress = std::function<bool(size_t done, size_t total)>;
    // `finished` runs when the files are done, before the message about those that failed.
    bool addDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection,
                         const FileProgress& progress, const std::function<void()>& finished = {});
    bool addFile(FileSelection& selection, const std::function<void(uint32_t id)>& properties);
    bool duplicateFiles(FileSelection& selection) { return doc_.Files().Duplicate(selection); }
    bool deleteFiles(FileSelection& selection) { return doc_.Files().Delete(selection); }

    // --- the template slots ---
    const std::array<char16_t, kTemplateSlots>& templateKeys() const {
        return doc_.Views().templateKeys;
    }
    // Every slot's Selected flag becomes `selected(slot)`; no edit, nothing to undo.
    void selectTemplates(const void* sender, const std::function<bool(uint32_t slot)>& selected);
    bool dropFileOnTemplate(uint32_t slot, int32_t fileId) {
        return doc_.Templates().DropFile(slot, fileId);
    }
    bool copyTemplates() { return doc_.Templates().Copy(); }
    bool cutTemplates() { return doc_.Templates().Cut(); }
    bool pasteTemplates(uint32_t& cursor) { return doc_.Templates().Paste(cursor); }
    bool deleteTemplates() { return doc_.Templates().Delete(); }

  private:
    UiDocument& doc_;
};

}  // namespace kelvane

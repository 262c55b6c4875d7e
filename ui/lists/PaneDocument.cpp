#include "ui/lists/PaneDocument.h"

#include <utility>

namespace kelvane {

void PaneDocument::previewServed(bool failed) {
    PreviewRequest& request = doc_.Views().preview;
    request.pending = false;
    if (failed) {
        request.kind = PreviewKind::None;
        request.track = 0;
        request.frame = 0;
    }
}

void PaneDocument::requestFilePreview(const void* sender, uint32_t id) {
    PreviewRequest& request = doc_.Views().preview;
    request.pending = true;
    request.kind = PreviewKind::FileImage;
    request.track = id;
    request.frame = 0;
    doc_.UpdateAllViews(sender, UpdateHint::Preview | UpdateHint::FileList);
}

void PaneDocument::requestEventPreview(const void* sender, const TrackEvent& event) {
    doc_.Views().workEvent = event;
    PreviewRequest& request = doc_.Views().preview;
    request.pending = true;
    request.kind = PreviewKind::SingleEvent;
    doc_.UpdateAllViews(sender, UpdateHint::Preview | UpdateHint::Templates);
}

void PaneDocument::beginDrag(DragSource source, int32_t fileId, const TrackEvent* event) {
    if (event != nullptr) {
        doc_.Views().workEvent = *event;
    }
    doc_.Views().drag = DragState{true, source, fileId};
}

void PaneDocument::endDrag() {
    doc_.Views().drag = DragState{};
}

bool PaneDocument::addDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection,
                                   const FileProgress& progress,
                                   const std::function<void()>& finished) {
    return doc_.Files().AddDroppedFiles(paths, selection, progress, finished);
}

bool PaneDocument::addFile(FileSelection& selection,
                           const std::function<void(uint32_t id)>& properties) {
    return doc_.Files().AddFile(selection, properties);
}

void PaneDocument::selectTemplates(const void* sender,
                                   const std::function<bool(uint32_t slot)>& selected) {
    doc_.Templates().Select(
        [&selected](uint32_t slot, const EventTemplate&) { return selected(slot); }, sender);
}

}  // namespace kelvane

#include "ui/lists/PaneDocument.h"

#include <utility>

namespace kelvane {

PaneSubscription& PaneSubscription::operator=(PaneSubscription&& other) noexcept {
    if (this != &other) {
        cancel();
        cancel_ = std::move(other.cancel_);
        other.cancel_ = nullptr;
    }
    return *this;
}

void PaneSubscription::cancel() {
    if (cancel_) {
        std::function<void()> cancel = std::move(cancel_);
        cancel_ = nullptr;
        cancel();
    }
}

PaneSubscription PaneDocument::watch(const void* owner, std::function<void(uint32_t)> onUpdate) {
    const CVelmoDoc::ObserverId id = doc_.AddView(
        owner, [onUpdate = std::move(onUpdate)](const void*, uint32_t hint) { onUpdate(hint); });
    UiDocument* doc = &doc_;
    return PaneSubscription([doc, id] { doc->RemoveView(id); });
}

void PaneDocument::previewServed(bool failed) {
    PreviewRequest& request = doc_.Preview();
    request.pending = false;
    if (failed) {
        request.kind = PreviewKind::None;
        request.track = 0;
        request.frame = 0;
    }
}

void PaneDocument::requestFilePreview(const void* sender, uint32_t id) {
    PreviewRequest& request = doc_.Preview();
    request.pending = true;
    request.kind = PreviewKind(1);  // one file's image
    request.track = id;
    request.frame = 0;
    doc_.UpdateAllViews(sender, kHintPreview | kHintFileList);
}

void PaneDocument::requestEventPreview(const void* sender, const TrackEvent& event) {
    doc_.WorkEvent() = event;
    PreviewRequest& request = doc_.Preview();
    request.pending = true;
    request.kind = PreviewKind::SingleEvent;
    doc_.UpdateAllViews(sender, kHintPreview | kHintEventList);
}

void PaneDocument::beginDrag(DragSource source, int32_t fileId, const TrackEvent* event) {
    if (event != nullptr) {
        doc_.WorkEvent() = *event;
    }
    doc_.Drag() = DragState{true, source, fileId};
}

void PaneDocument::endDrag() {
    doc_.Drag() = DragState{};
}

bool PaneDocument::addDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection,
                                   const FileProgress& progress) {
    return doc_.AddDroppedFiles(paths, selection, progress);
}

bool PaneDocument::addFile(FileSelection& selection,
                           const std::function<void(uint32_t id)>& properties) {
    return doc_.AddFile(selection, properties);
}

void PaneDocument::selectTemplates(const void* sender,
                                   const std::function<bool(uint32_t slot)>& selected) {
    auto& slots = doc_.GetProject().templates;
    for (uint32_t i = 0; i < kTemplateSlots; ++i) {
        if (selected(i)) {
            slots[i].flags |= kEventSelected;
        } else {
            slots[i].flags &= ~uint32_t(kEventSelected);
        }
    }
    (void)sender;
}

}  // namespace kelvane

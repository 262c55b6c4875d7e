#include "ui/timeline/TimelineDocument.h"

#include "model/Document.h"
#include "ui/dialogs/PropertyDialogs.h"

namespace timeline {

using kelvane::PreviewKind;
using kelvane::UpdateHint;

TimelineDocument::TimelineDocument(kelvane::Document& doc) : doc_(doc) {}

void TimelineDocument::observe(const void* owner, std::function<void()> onUpdate,
                               std::function<void(uint32_t track)> onSelection) {
    updates_ = doc_.Observers().OnUpdate(
        owner, [onUpdate = std::move(onUpdate)](const void*, UpdateHint hint) {
            if (kelvane::HasHint(hint, UpdateHint::Timeline)) {
                onUpdate();
            }
        });
    selections_ = doc_.Observers().OnSelectionChanged(
        owner, [onSelection = std::move(onSelection)](const void*,
                                                      const kelvane::SelectionChange& change) {
            if (change.scope == kelvane::SelectionChange::Scope::TrackEvents) {
                onSelection(change.track);
            }
        });
}

const kelvane::Project& TimelineDocument::project() const {
    return doc_.GetProject();
}

const kelvane::Track& TimelineDocument::track(uint32_t index) const {
    return doc_.GetProject().tracks[index % kelvane::kTrackCount];
}

uint32_t TimelineDocument::length() const {
    return doc_.GetProject().settings.length;
}

double TimelineDocument::frameRate() const {
    return doc_.GetProject().settings.frameRate;
}

kelvane::RefTime TimelineDocument::frameDuration() const {
    return doc_.GetProject().settings.frameDuration;
}

int TimelineDocument::templateForKey(int keyCode) const {
    if (keyCode == u' ') {
        return -1;
    }
    const auto& keys = doc_.Views().templateKeys;
    for (size_t k = 0; k < keys.size(); ++k) {
        if (int(keys[k]) == keyCode) {
            return int(k);
        }
    }
    return -1;
}

const kelvane::EventTemplate& TimelineDocument::templateSlot(uint32_t slot) const {
    return doc_.GetProject().templates[slot % kelvane::kTemplateSlots];
}

void TimelineDocument::select(uint32_t track, const EventPredicate& selected, const void* sender) {
    doc_.Timeline().Select(track, selected, sender);
}

void TimelineDocument::selectAll(uint32_t track, const void* sender) {
    doc_.Timeline().SelectAll(track, sender);
}

bool TimelineDocument::insertEvent(uint32_t track, const kelvane::TrackEvent& event,
                                   bool autoExtend, const kelvane::EventExtras& extras) {
    return doc_.Timeline().Insert(track, event, autoExtend, extras);
}

const kelvane::EventExtras& TimelineDocument::templateExtras(uint32_t slot) const {
    return doc_.GetProject().templateExtras[slot % kelvane::kTemplateSlots];
}

bool TimelineDocument::dropFile(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend) {
    return doc_.Timeline().DropFile(track, fileId, frame, autoExtend);
}

bool TimelineDocument::moveSelected(uint32_t track, uint32_t anchor, uint32_t frame,
                                    bool autoExtend) {
    return doc_.Timeline().MoveSelected(track, anchor, frame, autoExtend);
}

bool TimelineDocument::copy(uint32_t track) {
    return doc_.Timeline().Copy(track);
}

bool TimelineDocument::cut(uint32_t track) {
    return doc_.Timeline().Cut(track);
}

bool TimelineDocument::paste(uint32_t track, uint32_t frame, bool autoExtend) {
    return doc_.Timeline().Paste(track, frame, autoExtend);
}

bool TimelineDocument::erase(uint32_t track) {
    return doc_.Timeline().Delete(track);
}

bool TimelineDocument::editProperties(QWidget* parent, uint32_t track, bool autoExtend) {
    return kelvane::editTrackEventProperties(parent, doc_, track, autoExtend);
}

void TimelineDocument::previewAllTracks(uint32_t frame, const void* sender) {
    kelvane::PreviewRequest& request = doc_.Views().preview;
    request.kind = PreviewKind::AllTracksAtFrame;
    request.frame = frame;
    post(sender);
}

void TimelineDocument::previewTrack(uint32_t track, uint32_t frame, const void* sender) {
    kelvane::PreviewRequest& request = doc_.Views().preview;
    request.kind = PreviewKind::TrackAtFrame;
    request.track = track;
    request.frame = frame;
    post(sender);
}

void TimelineDocument::previewEvent(const kelvane::TrackEvent& event, const void* sender) {
    doc_.Views().workEvent = event;
    doc_.Views().preview.kind = PreviewKind::SingleEvent;
    post(sender);
}

void TimelineDocument::post(const void* sender) {
    doc_.Views().preview.pending = true;
    doc_.UpdateAllViews(sender, UpdateHint::Preview | UpdateHint::Timeline);
}

void TimelineDocument::clearDrag() {
    doc_.Views().drag = kelvane::DragState{};
}

}  // namespace timeline

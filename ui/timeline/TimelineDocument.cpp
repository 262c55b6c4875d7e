#include "ui/timeline/TimelineDocument.h"

#include "model/VelmoDoc.h"

namespace timeline {

using kelvane::PreviewKind;

TimelineDocument::TimelineDocument(kelvane::CVelmoDoc& doc) : doc_(doc) {}

TimelineDocument::~TimelineDocument() {
    if (observerId_ != 0) {
        doc_.RemoveView(observerId_);
    }
}

void TimelineDocument::observe(const void* owner, Observer observer) {
    if (observerId_ != 0) {
        doc_.RemoveView(observerId_);
    }
    observerId_ = doc_.AddView(
        owner, [observer = std::move(observer)](const void*, uint32_t hint) { observer(hint); });
}

const kelvane::Project& TimelineDocument::project() const {
    return doc_.GetProject();
}

const kelvane::Track& TimelineDocument::track(uint32_t index) const {
    return doc_.GetProject().tracks[index % kelvane::kTrackCount];
}

kelvane::Track& TimelineDocument::trackForSelection(uint32_t index) {
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
    const auto& keys = doc_.TemplateKeys();
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

bool TimelineDocument::insertEvent(uint32_t track, const kelvane::TrackEvent& event,
                                   bool autoExtend) {
    return doc_.InsertEvent(track, event, autoExtend);
}

bool TimelineDocument::dropFile(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend) {
    return doc_.DropFileOnTrack(track, fileId, frame, autoExtend);
}

bool TimelineDocument::moveSelected(uint32_t track, uint32_t anchor, uint32_t frame,
                                    bool autoExtend) {
    return doc_.MoveSelectedEvents(track, anchor, frame, autoExtend);
}

bool TimelineDocument::editSelected(uint32_t track,
                                    const std::function<void(kelvane::TrackEvent&)>& apply,
                                    bool autoExtend) {
    return doc_.EditSelectedEvents(track, apply, autoExtend);
}

bool TimelineDocument::copy(uint32_t track) {
    return doc_.CopyTrackEvents(track);
}

bool TimelineDocument::cut(uint32_t track) {
    return doc_.CutTrackEvents(track);
}

bool TimelineDocument::paste(uint32_t track, uint32_t frame, bool autoExtend) {
    return doc_.PasteTrackEvents(track, frame, autoExtend);
}

bool TimelineDocument::erase(uint32_t track) {
    return doc_.DeleteTrackEvents(track);
}

void TimelineDocument::selectAll(uint32_t track) {
    doc_.SelectAllTrackEvents(track);
}

void TimelineDocument::previewAllTracks(uint32_t frame, const void* sender) {
    kelvane::PreviewRequest& request = doc_.Preview();
    request.kind = PreviewKind::AllTracksAtFrame;
    request.frame = frame;
    post(sender);
}

void TimelineDocument::previewTrack(uint32_t track, uint32_t frame, const void* sender) {
    kelvane::PreviewRequest& request = doc_.Preview();
    request.kind = PreviewKind::TrackAtFrame;
    request.track = track;
    request.frame = frame;
    post(sender);
}

void TimelineDocument::previewEvent(const kelvane::TrackEvent& event, const void* sender) {
    doc_.WorkEvent() = event;
    doc_.Preview().kind = PreviewKind::SingleEvent;
    post(sender);
}

void TimelineDocument::post(const void* sender) {
    doc_.Preview().pending = true;
    doc_.UpdateAllViews(sender, kelvane::kHintPreview | kelvane::kHintTimeline);
}

void TimelineDocument::clearDrag() {
    doc_.Drag() = kelvane::DragState{};
}

}  // namespace timeline

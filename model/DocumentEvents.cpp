// The document's commands on the events of a track and on the template list, clipboard included.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/Clipboard.h"
#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/EventClipboard.h"
#include "model/EventDefaults.h"
#include "model/VelmoDoc.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

constexpr uint32_t kUsedAndSelected = kEventUsed | kEventSelected;

bool IsPicked(const TrackEvent& event) {
    return (event.flags & kUsedAndSelected) == kUsedAndSelected;
}

// A movement that would leave the output lands at frame 0.
uint32_t MovedStart(uint32_t start, uint32_t anchor, uint32_t frame) {
    const int64_t moved = int64_t(start) + (int64_t(frame) - int64_t(anchor));
    return moved < 0 || moved > int64_t(kMaxProjectLength) ? 0 : uint32_t(moved);
}

}  // namespace

Track* CVelmoDoc::EditableTrack(uint32_t track) {
    return track < kTrackCount ? &project_->tracks[track] : nullptr;
}

void CVelmoDoc::AutoExtend(uint32_t start) {
    uint32_t& length = project_->settings.length;
    if (start > length) {
        length = std::min(start, kMaxProjectLength);
    }
}

void CVelmoDoc::AutoExtendToLast(const Track& track) {
    if (track.Count() > 0) {
        AutoExtend(track.Events()[track.Count() - 1].start);
    }
}

bool CVelmoDoc::InsertWorkEvent(Track& track, bool autoExtend) {
    if (!track.InsertSorted(&workEvent_, 1)) {
        ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        AutoExtendToLast(track);
    }
    UpdateAllViews(nullptr, kHintTimeline);
    return true;
}

bool CVelmoDoc::InsertEvent(uint32_t track, const TrackEvent& event, bool autoExtend) {
    Track* t = EditableTrack(track);
    if (!t || (event.flags & kEventUsed) == 0) {
        return false;
    }
    BeginEdit();
    workEvent_ = event;
    workEvent_.flags &= ~uint32_t(kEventSelected);
    return InsertWorkEvent(*t, autoExtend);
}

bool CVelmoDoc::DropFileOnTrack(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend) {
    Track* t = EditableTrack(track);
    if (!t || fileId < 0 || size_t(fileId) >= kFileSlots) {
        return false;
    }
    BeginEdit();
    int32_t width = 0;
    int32_t height = 0;
    services_.ImageSize(project_->files[size_t(fileId)], width, height);
    workEvent_ = NewEventDefaults(*project_, fileId, frame, width, height);
    return InsertWorkEvent(*t, autoExtend);
}

bool CVelmoDoc::MoveSelectedEvents(uint32_t track, uint32_t anchor, uint32_t frame,
                                   bool autoExtend) {
    Track* t = EditableTrack(track);
    if (!t || frame == anchor || !t->HasArray()) {
        return false;
    }
    BeginEdit();
    for (TrackEvent& event : t->EventSpan()) {
        if (event.flags & kEventSelected) {
            event.start = MovedStart(event.start, anchor, frame);
        }
    }
    if (!t->Sort()) {
        ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        AutoExtendToLast(*t);
    }
    UpdateAllViews(nullptr, kHintTimeline);
    return true;
}

bool CVelmoDoc::EditSelectedEvents(uint32_t track, const std::function<void(TrackEvent&)>& apply,
                                   bool autoExtend) {
    Track* t = EditableTrack(track);
    if (!t || !apply) {
        return false;
    }
    const auto events = t->EventSpan();
    const auto picked = std::count_if(events.begin(), events.end(), IsPicked);
    if (picked == 0) {
        return false;
    }
    BeginEdit();
    uint32_t editedStart = 0;
    for (TrackEvent& event : events) {
        if (IsPicked(event)) {
            apply(event);
            editedStart = event.start;
        }
    }
    if (!t->Sort()) {
        ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        // One edited event extends the output to its own start, several to the last event.
        if (picked == 1) {
            AutoExtend(editedStart);
        } else {
            AutoExtendToLast(*t);
        }
    }
    UpdateAllViews(nullptr, kHintTimeline);
    return true;
}

bool CVelmoDoc::PutEvents(std::vector<TrackEvent>& events, bool relativeStarts) {
    if (relativeStarts && !events.empty()) {
        const uint32_t first = events.front().start;
        for (TrackEvent& event : events) {
            event.start -= first;  // 32-bit: the starts are in ascending order
        }
    }
    std::vector<uint8_t> block;
    return EventClipboardBlock::Encode(events, block) && clipboard_.Put(block);
}

bool CVelmoDoc::CopyTrackEvents(uint32_t track) {
    Track* t = EditableTrack(track);
    if (!t || !t->HasArray()) {
        return false;
    }
    std::vector<TrackEvent> events;
    for (const TrackEvent& event : t->EventSpan()) {
        if (IsPicked(event)) {
            events.push_back(event);
        }
    }
    if (events.empty()) {
        prompt_.ShowError(messages::kNothingToCopy);
        return false;
    }
    return PutEvents(events, true);
}

bool CVelmoDoc::CutTrackEvents(uint32_t track) {
    // Nothing is removed unless the clipboard took the events.
    if (!CopyTrackEvents(track)) {
        return false;
    }
    BeginEdit();
    Track& t = project_->tracks[track];
    const bool removed = t.RemoveFlagged(kEventSelected);
    if (!removed) {
        ShowMemoryLost();
    }
    UpdateAllViews(nullptr, kHintTimeline);
    return removed;
}

bool CVelmoDoc::PasteTrackEvents(uint32_t track, uint32_t cursorFrame, bool autoExtend) {
    Track* t = EditableTrack(track);
    std::vector<uint8_t> block;
    std::vector<TrackEvent> events;
    if (!t || !clipboard_.Get(block) || !EventClipboardBlock::Decode(block, events) ||
        events.empty()) {
        return false;
    }
    BeginEdit();
    for (TrackEvent& event : events) {
        event.start += cursorFrame;
    }
    // Our own blocks are in start order already, and the stable sort keeps them as they are; a
    // block from elsewhere must not break the order of the track.
    std::stable_sort(events.begin(), events.end(),
                     [](const TrackEvent& a, const TrackEvent& b) { return a.start < b.start; });
    if (!t->InsertSorted(events.data(), uint32_t(events.size()))) {
        ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        AutoExtendToLast(*t);
    }
    UpdateAllViews(nullptr, kHintTimeline);
    return true;
}

bool CVelmoDoc::DeleteTrackEvents(uint32_t track) {
    Track* t = EditableTrack(track);
    if (!t || !t->HasArray()) {
        return false;
    }
    const auto events = t->EventSpan();
    if (std::none_of(events.begin(), events.end(), IsPicked)) {
        prompt_.ShowError(messages::kNothingToErase);
        return false;
    }
    BeginEdit();
    const bool removed = t->RemoveFlagged(kEventSelected);
    if (!removed) {
        ShowMemoryLost();
    }
    UpdateAllViews(nullptr, kHintTimeline);
    return removed;
}

void CVelmoDoc::SelectAllTrackEvents(uint32_t track) {
    if (Track* t = EditableTrack(track)) {
        for (TrackEvent& event : t->EventSpan()) {
            if (event.flags & kEventUsed) {
                event.flags |= kEventSelected;
            }
        }
    }
}

bool CVelmoDoc::DropFileOnTemplate(uint32_t slot, int32_t fileId) {
    if (slot >= kTemplateSlots || fileId < 0 || size_t(fileId) >= kFileSlots) {
        return false;
    }
    BeginEdit();
    int32_t width = 0;
    int32_t height = 0;
    services_.ImageSize(project_->files[size_t(fileId)], width, height);
    StoreTemplate(project_->templates[slot], NewEventDefaults(*project_, fileId, 0, width, height));
    UpdateAllViews(nullptr, kHintEventList);
    return true;
}

bool CVelmoDoc::EditSelectedTemplates(const std::function<void(EventTemplate&)>& apply) {
    auto& slots = project_->templates;
    if (!apply || std::none_of(slots.begin(), slots.end(), [](const EventTemplate& slot) {
            return (slot.flags & kEventSelected) != 0;
        })) {
        return false;
    }
    BeginEdit();
    for (EventTemplate& slot : slots) {
        if (slot.flags & kEventSelected) {
            apply(slot);
            slot.start = 0;
        }
    }
    UpdateAllViews(nullptr, kHintEventList);
    return true;
}

bool CVelmoDoc::CopyTemplates() {
    std::vector<TrackEvent> events;
    for (const EventTemplate& slot : project_->templates) {
        if (IsPicked(slot)) {
            events.push_back(slot);
        }
    }
    if (events.empty()) {
        prompt_.ShowError(messages::kNothingToCopy);
        return false;
    }
    return PutEvents(events, false);
}

bool CVelmoDoc::CutTemplates() {
    // Cutting templates takes no checkpoint and cannot be undone: the events are on the
    // clipboard. The project has changed all the same, so it is marked modified.
    std::vector<size_t> cut;
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        if (IsPicked(project_->templates[i])) {
            cut.push_back(i);
        }
    }
    if (!CopyTemplates()) {
        return false;
    }
    for (size_t i : cut) {
        project_->templates[i].flags = 0;
    }
    modified_ = true;
    UpdateAllViews(nullptr, kHintEventList);
    return true;
}

bool CVelmoDoc::PasteTemplates(uint32_t& cursor) {
    std::vector<uint8_t> block;
    std::vector<TrackEvent> events;
    if (!clipboard_.Get(block) || !EventClipboardBlock::Decode(block, events) || events.empty()) {
        return false;
    }
    BeginEdit();
    auto& slots = project_->templates;
    for (EventTemplate& slot : slots) {
        slot.flags &= ~uint32_t(kEventSelected);
    }
    uint32_t at = cursor % kTemplateSlots;
    for (const TrackEvent& event : events) {
        // Only a used slot is stepped over; after the first event, the slot just written is.
        if (TemplateInUse(slots[at])) {
            at = (at + 1) % kTemplateSlots;
        }
        StoreTemplate(slots[at], event);
        slots[at].flags |= kUsedAndSelected;
    }
    cursor = at;
    UpdateAllViews(nullptr, kHintEventList);
    return true;
}

bool CVelmoDoc::DeleteTemplates() {
    auto& slots = project_->templates;
    if (std::none_of(slots.begin(), slots.end(), IsPicked)) {
        prompt_.ShowError(messages::kNothingToErase);
        return false;
    }
    BeginEdit();
    for (EventTemplate& slot : slots) {
        if (slot.flags & kEventSelected) {
            slot.flags = 0;
        }
    }
    UpdateAllViews(nullptr, kHintEventList);
    return true;
}

void CVelmoDoc::SelectAllTemplates() {
    for (EventTemplate& slot : project_->templates) {
        slot.flags |= kEventSelected;
    }
}

}  // namespace kelvane

#include "model/TimelineCommands.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/Document.h"
#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/EventClipboard.h"
#include "model/EventDefaults.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

// A movement that would leave the output lands at frame 0.
uint32_t MovedStart(uint32_t start, uint32_t anchor, uint32_t frame) {
    const int64_t moved = int64_t(start) + (int64_t(frame) - int64_t(anchor));
    return moved < 0 || moved > int64_t(kMaxProjectLength) ? 0 : uint32_t(moved);
}

}  // namespace

TimelineCommands::TimelineCommands(Document& document) : doc_(document) {}

TimelineCommands::~TimelineCommands() = default;

Track* TimelineCommands::EditableTrack(uint32_t track) {
    return track < kTrackCount ? &doc_.Model().tracks[track] : nullptr;
}

void TimelineCommands::AutoExtend(uint32_t start) {
    uint32_t& length = doc_.Model().settings.length;
    if (start > length) {
        length = std::min(start, kMaxProjectLength);
    }
}

void TimelineCommands::AutoExtendToLast(const Track& track) {
    if (track.Count() > 0) {
        AutoExtend(track.Events()[track.Count() - 1].start);
    }
}

bool TimelineCommands::InsertWorkEvent(Track& track, bool autoExtend) {
    if (!track.InsertSorted(&doc_.Views().workEvent, 1, &doc_.Views().workExtras)) {
        doc_.ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        AutoExtendToLast(track);
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return true;
}

bool TimelineCommands::Insert(uint32_t track, const TrackEvent& event, bool autoExtend,
                              const EventExtras& extras) {
    Track* t = EditableTrack(track);
    if (!t || (event.flags & kEventUsed) == 0) {
        return false;
    }
    doc_.BeginEdit();
    TrackEvent& work = doc_.Views().workEvent;
    work = event;
    work.flags &= ~uint32_t(kEventSelected);
    doc_.Views().workExtras = extras;
    return InsertWorkEvent(*t, autoExtend);
}

bool TimelineCommands::DropFile(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend) {
    Track* t = EditableTrack(track);
    if (!t || fileId < 0 || size_t(fileId) >= kFileSlots) {
        return false;
    }
    Project& project = doc_.BeginEdit();
    int32_t width = 0;
    int32_t height = 0;
    doc_.Services().ImageSize(project.files[size_t(fileId)], width, height);
    doc_.Views().workEvent = NewEventDefaults(project, fileId, frame, width, height);
    doc_.Views().workExtras = EventExtras{};
    return InsertWorkEvent(*t, autoExtend);
}

bool TimelineCommands::MoveSelected(uint32_t track, uint32_t anchor, uint32_t frame,
                                    bool autoExtend) {
    Track* t = EditableTrack(track);
    if (!t || frame == anchor || !t->HasArray()) {
        return false;
    }
    doc_.BeginEdit();
    if (!t->Unshare()) {
        doc_.ShowMemoryLost();
        return false;
    }
    for (TrackEvent& event : t->EventSpan()) {
        if (event.flags & kEventSelected) {
            event.start = MovedStart(event.start, anchor, frame);
        }
    }
    if (!t->Sort()) {
        doc_.ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        AutoExtendToLast(*t);
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return true;
}

bool TimelineCommands::EditSelected(uint32_t track, const std::function<void(TrackEvent&)>& apply,
                                    bool autoExtend,
                                    const std::function<EventExtras(const EventExtras&)>& extras) {
    Track* t = EditableTrack(track);
    if (!t || !apply) {
        return false;
    }
    // Counted on the read-only view: the events are written only after the checkpoint has taken
    // its share of the array, through an array of the track's own.
    const auto shown = std::as_const(*t).EventSpan();
    const auto picked = std::count_if(shown.begin(), shown.end(), IsUsedAndSelected);
    if (picked == 0) {
        return false;
    }
    doc_.BeginEdit();
    if (!t->Unshare()) {
        doc_.ShowMemoryLost();
        return false;
    }
    uint32_t editedStart = 0;
    std::vector<uint32_t> edited;
    const auto events = t->EventSpan();
    for (uint32_t i = 0; i < events.size(); ++i) {
        if (IsUsedAndSelected(events[i])) {
            apply(events[i]);
            editedStart = events[i].start;
            edited.push_back(i);
        }
    }
    if (extras) {
        for (uint32_t i : edited) {
            if (!t->SetExtras(i, extras(t->ExtrasAt(i)))) {
                doc_.ShowMemoryLost();
                return false;
            }
        }
    }
    if (!t->Sort()) {
        doc_.ShowMemoryLost();
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
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return true;
}

bool TimelineCommands::Copy(uint32_t track) {
    Track* t = EditableTrack(track);
    if (!t || !t->HasArray()) {
        return false;
    }
    std::vector<TrackEvent> events;
    std::vector<EventExtras> extras;
    const auto shown = std::as_const(*t).EventSpan();
    for (uint32_t i = 0; i < shown.size(); ++i) {
        if (IsUsedAndSelected(shown[i])) {
            events.push_back(shown[i]);
            extras.push_back(t->ExtrasAt(i));
        }
    }
    if (events.empty()) {
        doc_.Prompt().ShowError(messages::kNothingToCopy);
        return false;
    }
    return PutEventsOnClipboard(doc_.SystemClipboard(), std::move(events), true, extras);
}

bool TimelineCommands::Cut(uint32_t track) {
    // Nothing is removed unless the clipboard took the events.
    if (!Copy(track)) {
        return false;
    }
    doc_.BeginEdit();
    Track& t = doc_.Model().tracks[track];
    const bool removed = t.RemoveFlagged(kEventSelected);
    if (!removed) {
        doc_.ShowMemoryLost();
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return removed;
}

bool TimelineCommands::Paste(uint32_t track, uint32_t cursorFrame, bool autoExtend) {
    Track* t = EditableTrack(track);
    std::vector<TrackEvent> taken;
    std::vector<EventExtras> takenExtras;
    if (!t || !TakeEventsFromClipboard(doc_.SystemClipboard(), taken, &takenExtras)) {
        return false;
    }
    doc_.BeginEdit();
    for (TrackEvent& event : taken) {
        event.start += cursorFrame;
    }
    // Our own blocks are in start order already, and the stable sort keeps them as they are; a
    // block from elsewhere must not break the order of the track. Extras follow their records.
    std::vector<uint32_t> order(taken.size());
    for (uint32_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&taken](uint32_t a, uint32_t b) { return taken[a].start < taken[b].start; });
    std::vector<TrackEvent> events;
    std::vector<EventExtras> extras;
    for (uint32_t i : order) {
        events.push_back(taken[i]);
        extras.push_back(takenExtras[i]);
    }
    if (!t->InsertSorted(events.data(), uint32_t(events.size()), extras.data())) {
        doc_.ShowMemoryLost();
        return false;
    }
    if (autoExtend) {
        AutoExtendToLast(*t);
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return true;
}

bool TimelineCommands::Delete(uint32_t track) {
    Track* t = EditableTrack(track);
    if (!t || !t->HasArray()) {
        return false;
    }
    const auto events = std::as_const(*t).EventSpan();
    if (std::none_of(events.begin(), events.end(), IsUsedAndSelected)) {
        doc_.Prompt().ShowError(messages::kNothingToErase);
        return false;
    }
    doc_.BeginEdit();
    const bool removed = t->RemoveFlagged(kEventSelected);
    if (!removed) {
        doc_.ShowMemoryLost();
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return removed;
}

bool TimelineCommands::SetTrackMuted(uint32_t track, bool muted) {
    Track* t = EditableTrack(track);
    if (!t || t->Sound().muted == muted) {
        return false;
    }
    doc_.BeginEdit();
    TrackSound sound = t->Sound();
    sound.muted = muted;
    t->SetSound(sound);
    doc_.UpdateAllViews(nullptr, UpdateHint::Timeline);
    return true;
}

void TimelineCommands::Select(uint32_t track, const EventPredicate& selected, const void* sender) {
    Track* t = EditableTrack(track);
    if (!t || !selected) {
        return;
    }
    // The new flags of every used event: selected events are written only when one changes.
    const auto NewFlags = [&selected](uint32_t index, const TrackEvent& event) {
        return selected(index, event) ? event.flags | kEventSelected
                                      : event.flags & ~uint32_t(kEventSelected);
    };
    bool changed = false;
    uint32_t index = 0;
    for (const TrackEvent& event : std::as_const(*t).EventSpan()) {
        changed |= (event.flags & kEventUsed) != 0 && NewFlags(index, event) != event.flags;
        ++index;
    }
    if (!changed) {
        return;
    }
    // Selection is no edit and takes no checkpoint, but the flags live in the records: a shared
    // array is copied first, so the snapshots keep the selection they saw.
    if (!t->Unshare()) {
        doc_.ShowMemoryLost();
        return;
    }
    index = 0;
    for (TrackEvent& event : t->EventSpan()) {
        if (event.flags & kEventUsed) {
            event.flags = NewFlags(index, event);
        }
        ++index;
    }
    if (changed) {
        doc_.NotifySelection(sender, {SelectionChange::Scope::TrackEvents, track});
    }
}

void TimelineCommands::SelectAll(uint32_t track, const void* sender) {
    Select(
        track, [](uint32_t, const TrackEvent&) { return true; }, sender);
}

}  // namespace kelvane

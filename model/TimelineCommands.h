#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "model/EventExtras.h"
#include "model/TrackEvent.h"

namespace kelvane {

class Document;
class Track;

// The commands on the events of one track (the timeline), clipboard included. Edits update the
// views with UpdateHint::Timeline; with `autoExtend` the project's length grows to the last
// event's start. Selection changes are no edits: no checkpoint, no modified flag, a selection
// notification only.
class TimelineCommands {
  public:
    using EventPredicate = std::function<bool(uint32_t index, const TrackEvent& event)>;

    explicit TimelineCommands(Document& document);
    ~TimelineCommands();

    // A copy of `event` at its own start, without Selected: a template key or a dropped template.
    bool Insert(uint32_t track, const TrackEvent& event, bool autoExtend,
                const EventExtras& extras = DefaultExtras());
    // A file dropped on a track at `frame`, as a new event with the defaults.
    bool DropFile(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend);
    // The end of dragging the selected events from frame `anchor` to frame `frame`.
    bool MoveSelected(uint32_t track, uint32_t anchor, uint32_t frame, bool autoExtend);
    // The event property dialog ended with OK: `apply` changes each selected event, and
    // `extras` (when given) gives each its new extras from its present ones.
    bool EditSelected(uint32_t track, const std::function<void(TrackEvent&)>& apply,
                      bool autoExtend,
                      const std::function<EventExtras(const EventExtras&)>& extras = {});
    bool Copy(uint32_t track);
    bool Cut(uint32_t track);
    bool Paste(uint32_t track, uint32_t cursorFrame, bool autoExtend);
    bool Delete(uint32_t track);
    // "トラックのミュート": the track's sound on or off, as one undoable edit. False when it is
    // already so.
    bool SetTrackMuted(uint32_t track, bool muted);

    // While the event dialog is open, the preview shows what its pending values would do: the
    // selected events of `track` draw with `extras` of the extras each had when the preview
    // began. None of it is an edit: no checkpoint, no modified flag, nothing for the journal.
    // EndPreview puts the track back exactly as it was, before the dialog's OK makes its one
    // edit or after its Cancel. Both update the views. False when memory ran out (the track then
    // shows as it was).
    bool PreviewSelectedExtras(uint32_t track,
                               const std::function<EventExtras(const EventExtras&)>& extras);
    void EndPreview();

    // Every used event of the track becomes selected exactly when `selected` says so.
    void Select(uint32_t track, const EventPredicate& selected, const void* sender = nullptr);
    void SelectAll(uint32_t track, const void* sender = nullptr);

  private:
    Track* EditableTrack(uint32_t track);
    void AutoExtend(uint32_t start);
    void AutoExtendToLast(const Track& track);
    // Inserts the work event into a track after the checkpoint, then extends and updates.
    bool InsertWorkEvent(Track& track, bool autoExtend);

    Document& doc_;
    // The previewed track as it was, sharing its arrays; null while nothing is previewed.
    std::unique_ptr<Track> previewOriginal_;
    uint32_t previewTrack_ = 0;
};

}  // namespace kelvane

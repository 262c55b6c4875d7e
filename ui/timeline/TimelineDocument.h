#pragma once

#include <cstdint>
#include <functional>

#include "model/EventTemplate.h"
#include "model/Project.h"
#include "model/Track.h"
#include "model/TrackEvent.h"

namespace kelvane {
class CVelmoDoc;
}

namespace timeline {

// The timeline's one door to the document: every read of the project and every edit the view
// makes passes here, so that the view knows nothing of how the document is put together. Each
// edit is one user action: one checkpoint, one change, one update of the views.
class TimelineDocument {
  public:
    using Observer = std::function<void(uint32_t hint)>;

    explicit TimelineDocument(kelvane::CVelmoDoc& doc);
    ~TimelineDocument();
    TimelineDocument(const TimelineDocument&) = delete;
    TimelineDocument& operator=(const TimelineDocument&) = delete;

    // Updates sent by anyone but `owner` reach `observer` until this object goes.
    void observe(const void* owner, Observer observer);

    const kelvane::Project& project() const;
    const kelvane::Track& track(uint32_t index) const;
    // Selection flags are view state kept in the events: changing them is not an edit.
    kelvane::Track& trackForSelection(uint32_t index);
    uint32_t length() const;
    double frameRate() const;
    kelvane::RefTime frameDuration() const;
    // The template that `keyCode` inserts, or -1; the space bar never inserts.
    int templateForKey(int keyCode) const;
    const kelvane::EventTemplate& templateSlot(uint32_t slot) const;

    bool insertEvent(uint32_t track, const kelvane::TrackEvent& event, bool autoExtend);
    bool dropFile(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend);
    bool moveSelected(uint32_t track, uint32_t anchor, uint32_t frame, bool autoExtend);
    bool editSelected(uint32_t track, const std::function<void(kelvane::TrackEvent&)>& apply,
                      bool autoExtend);
    bool copy(uint32_t track);
    bool cut(uint32_t track);
    bool paste(uint32_t track, uint32_t frame, bool autoExtend);
    bool erase(uint32_t track);
    void selectAll(uint32_t track);

    // Preview requests: the preview pane shows the frame or the event on its next paint.
    void previewAllTracks(uint32_t frame, const void* sender);
    void previewTrack(uint32_t track, uint32_t frame, const void* sender);
    void previewEvent(const kelvane::TrackEvent& event, const void* sender);
    // A drag begun in another pane ends or is forgotten.
    void clearDrag();

  private:
    void post(const void* sender);

    kelvane::CVelmoDoc& doc_;
    uint64_t observerId_ = 0;
};

}  // namespace timeline

#pragma once

#include <cstdint>
#include <functional>

#include "model/EventTemplate.h"
#include "model/Project.h"
#include "model/Subscription.h"
#include "model/Track.h"
#include "model/TrackEvent.h"

class QWidget;

namespace kelvane {
class Document;
}

namespace timeline {

// The timeline's one door to the document: every read of the project and every change the view
// makes passes here, so that the view knows nothing of how the document is put together. Each
// edit is one user action: one checkpoint, one change, one update of the views.
class TimelineDocument {
  public:
    using EventPredicate = std::function<bool(uint32_t index, const kelvane::TrackEvent& event)>;

    explicit TimelineDocument(kelvane::Document& doc);

    // `onUpdate` hears of changes of the project that concern the timeline, `onSelection` of
    // selection changes on a track; neither hears what `owner` itself sent.
    void observe(const void* owner, std::function<void()> onUpdate,
                 std::function<void(uint32_t track)> onSelection);

    kelvane::Document& document() { return doc_; }
    const kelvane::Project& project() const;
    const kelvane::Track& track(uint32_t index) const;
    uint32_t length() const;
    double frameRate() const;
    kelvane::RefTime frameDuration() const;
    // The template that `keyCode` inserts, or -1; the space bar never inserts.
    int templateForKey(int keyCode) const;
    const kelvane::EventTemplate& templateSlot(uint32_t slot) const;

    // Selection is no edit: no checkpoint, nothing modified, nothing to undo.
    void select(uint32_t track, const EventPredicate& selected, const void* sender);
    void selectAll(uint32_t track, const void* sender);

    bool insertEvent(uint32_t track, const kelvane::TrackEvent& event, bool autoExtend,
                     const kelvane::EventExtras& extras = kelvane::DefaultExtras());
    const kelvane::EventExtras& templateExtras(uint32_t slot) const;
    bool dropFile(uint32_t track, int32_t fileId, uint32_t frame, bool autoExtend);
    bool moveSelected(uint32_t track, uint32_t anchor, uint32_t frame, bool autoExtend);
    bool copy(uint32_t track);
    bool cut(uint32_t track);
    bool paste(uint32_t track, uint32_t frame, bool autoExtend);
    bool erase(uint32_t track);
    // The event properties dialog over the selected events of the track; true when OK applied.
    bool editProperties(QWidget* parent, uint32_t track, bool autoExtend);

    // Preview requests: the preview pane shows the frame or the event on its next paint.
    void previewAllTracks(uint32_t frame, const void* sender);
    void previewTrack(uint32_t track, uint32_t frame, const void* sender);
    void previewEvent(const kelvane::TrackEvent& event, const void* sender);
    // A drag begun in another pane ends or is forgotten.
    void clearDrag();

  private:
    void post(const void* sender);

    kelvane::Document& doc_;
    kelvane::Subscription updates_;
    kelvane::Subscription selections_;
};

}  // namespace timeline

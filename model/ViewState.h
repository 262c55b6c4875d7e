#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "model/EventExtras.h"
#include "model/EventTemplate.h"
#include "model/TrackEvent.h"

namespace kelvane {

// What the preview pane shows on its next paint.
enum class PreviewKind : int32_t {
    None = 0,
    FileImage = 1,         // one file's image: `track` holds the file ID
    SingleEvent = 2,       // the view state's work event
    TrackAtFrame = 3,      // one track at a frame
    AllTracksAtFrame = 4,  // the whole output frame
};

struct PreviewRequest {
    bool pending = false;
    PreviewKind kind = PreviewKind::None;
    uint32_t track = 0;
    uint32_t frame = 0;
};

// An item being dragged from one view to another.
enum class DragSource : int32_t {
    None = 0,
    File = 2,      // a file from the file list
    Template = 4,  // a template from the event list (the work event holds a copy)
};

struct DragState {
    bool active = false;
    DragSource source = DragSource::None;
    int32_t fileId = 0;
};

// What the GUI keeps for its views beside the document (the view font and the installed-font
// list). The view state only holds it for as long as it lives.
class DocumentViewData {
  public:
    virtual ~DocumentViewData() = default;
};

// The run-time records the views share about the open project. None of it is part of the
// project: it is never stored, never undone, and changing it marks nothing modified. New and
// open clear the preview request (pending, to repaint) and the drag state.
struct ViewState {
    ViewState() {
        for (size_t i = 0; i < kTemplateSlots; ++i) {
            templateKeys[i] = TemplateKeyLabel(i);
        }
    }

    std::array<char16_t, kTemplateSlots> templateKeys{};
    PreviewRequest preview;
    DragState drag;
    TrackEvent workEvent{};  // previews, drags and key inserts
    EventExtras workExtras;  // what the work event carries beyond its record
    std::unique_ptr<DocumentViewData> viewData;
};

}  // namespace kelvane

#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "model/Project.h"
#include "model/TrackEvent.h"
#include "platform/LogFont.h"

namespace kelvane {

// What an update of all views says has changed; views combine the bits.
enum UpdateHint : uint32_t {
    kHintPreview = 1,
    kHintFileList = 2,
    kHintEventList = 4,
    kHintTimeline = 8,
    kHintAll = 0xFFFFFFFF,  // after new, open, undo, redo, settings and file-table changes
};

// What the preview pane shows on its next paint.
enum class PreviewKind : int32_t {
    None = 0,
    SingleEvent = 2,       // the document's WorkEvent
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
    Template = 4,  // a template from the event list (the WorkEvent holds a copy)
};

struct DragState {
    bool active = false;
    DragSource source = DragSource::None;
    int32_t fileId = 0;
};

// The file list's current ID and its marked IDs: the file commands act on the marks and move the
// cursor as the list shows it.
struct FileSelection {
    uint32_t cursor = 0;
    std::bitset<kFileSlots> marks;
};

// The values of the project properties dialog.
struct ProjectSettingsForm {
    std::u16string basePath;
    uint32_t width = 0;
    uint32_t height = 0;
    double frameRate = 0;
    std::u16string length;  // a frame count or a typed time
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    int32_t defaultDrawMethod = 0;
};

// The values of the file properties dialog.
struct FilePropertiesForm {
    uint32_t id = 0;  // the ID the user wants for the entry
    bool useText = false;
    std::u16string text;
    std::u16string path;
    std::u16string referenceRate;  // empty = none; a rate or a "m:s.fraction" frame duration
    bool useTransparent = false;   // for files; a text takes the colour as its text colour
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    LogFont font{};
};

}  // namespace kelvane

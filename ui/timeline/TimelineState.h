#pragma once

#include <cstdint>

#include "model/TrackEvent.h"
#include "ui/timeline/TimelineGeometry.h"

namespace timeline {

enum class Mode { AllTracks = 0, TrackDetail = 1 };

// What the user set up in the scale-marks dialog and the mark spacing derived from it.
struct ScaleMarks {
    double count = 0.0;
    double unitSeconds = 1.0;
    kelvane::RefTime interval = 0;  // 0: no marks
};

// The view's own state. Nothing of it is stored in the project; a new or opened project makes a
// new view and so starts again from here.
struct TimelineState {
    uint32_t currentTrack = 0;
    uint32_t currentEvent = 0;  // anchor of Shift-selection and of the arrow keys
    uint32_t cursor = 0;
    uint32_t selectionStart = 0;
    uint32_t selectionEnd = 0;
    Mode mode = Mode::AllTracks;
    uint32_t zoom = kInitialZoom;  // frames per 32 pixels, a power of two from 1 to 1024
    bool preview = true;
    bool autoExtend = true;
    ScaleMarks scale;

    bool hasSelectionRange() const { return selectionStart != selectionEnd; }
};

}  // namespace timeline

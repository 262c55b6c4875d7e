#pragma once

#include <cstdint>
#include <vector>

#include <QRect>
#include <QString>

#include "model/Track.h"
#include "ui/timeline/TimelineState.h"

namespace timeline {

// A box of the detail mode: the event's bar in the lane under the ruler, or its row in the list of
// events from the cursor on. Rectangles are in document pixels.
struct ItemBox {
    enum class Kind { Lane, Row };
    Kind kind;
    QRect rect;
    uint32_t event;
    bool selected;
};

// The boxes of the current track for the visible rectangle (document pixels, right and bottom
// exclusive): lane boxes of the events in view (at most 768), then one row per event starting at
// or after the cursor (the list stops at the bottom of the view and below row 4191). Both the
// painting and the hit test use this, so what is hit is what was drawn.
std::vector<ItemBox> layoutDetailBoxes(const kelvane::Track& track, const TimelineState& state,
                                       const QRect& visible);

// The event under a document point, or -1.
int hitDetailBox(const std::vector<ItemBox>& boxes, QPoint point);

// " mm:ss.mmm ID:nnnn" of an event row.
QString detailRowText(const kelvane::TrackEvent& event, double frameRate);

}  // namespace timeline

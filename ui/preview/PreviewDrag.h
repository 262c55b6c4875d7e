#pragma once

#include <QPointF>
#include <QPolygonF>
#include <cstdint>
#include <optional>

#include "model/Project.h"

namespace kelvane {

// Where an event of a track draws at an output frame: its source region's corners through the
// event's matrix as the renderer evaluates it there (interpolation included), in output pixels.
struct EventFootprint {
    uint32_t track = 0;
    uint32_t index = 0;  // into the track's events: the event in force at the frame
    QPolygonF outline;
};

// The event in force on `track` at `frame` and its footprint; none when the track shows no file
// there (no event yet, an unused file, an empty region).
std::optional<EventFootprint> footprintAt(const Project& project, uint32_t track, uint32_t frame);

// The topmost event at `frame` whose footprint holds `point` (output pixels): the highest track
// first, as it is drawn last. `onlyTrack` looks at that track alone.
std::optional<EventFootprint> eventUnder(const Project& project, uint32_t frame, QPointF point,
                                         std::optional<uint32_t> onlyTrack = std::nullopt);

// A drag's movement: with `axisOnly` (Shift) only along the axis it moved further on.
QPointF constrainedMove(QPointF delta, bool axisOnly);

// Moves an event by `delta` output pixels: its position, or for an explicit matrix the matrix's
// translation (the inverse follows).
void moveEventBy(TrackEvent& event, QPointF delta);

}  // namespace kelvane

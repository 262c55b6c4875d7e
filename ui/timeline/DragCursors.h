#pragma once

#include <QCursor>

namespace timeline {

// The pointer while events are being dragged along their track: an arrow over a dashed box, the
// box standing for the events that move.
const QCursor& moveEventsCursor();

}  // namespace timeline

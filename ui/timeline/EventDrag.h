#pragma once

#include <cstdint>

namespace timeline {

// A press on an event bar, held until release: the selected events of the track move by the
// frames between the press and the release, in one edit at the release.
class EventDrag {
  public:
    EventDrag(uint32_t track, uint32_t anchor) : track_(track), anchor_(anchor) {}
    uint32_t track() const { return track_; }
    uint32_t anchor() const { return anchor_; }
    int64_t shiftAt(uint32_t frame) const { return int64_t(frame) - int64_t(anchor_); }

  private:
    uint32_t track_;
    uint32_t anchor_;
};

}  // namespace timeline

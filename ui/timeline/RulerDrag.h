#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>

#include "ui/timeline/TimelineState.h"

namespace timeline {

// A press in the ruler's tick band, held until release: the press puts the cursor on the frame
// and decides which end of the selection range the drag moves; the release sets the range.
class RulerDrag {
  public:
    // Pressing on the range's start lets the drag move that end (the old end becomes the start);
    // pressing anywhere but the end starts a new, empty range there.
    RulerDrag(TimelineState& state, uint32_t frame) {
        state.cursor = frame;
        if (frame == state.selectionStart) {
            state.selectionStart = state.selectionEnd;
            state.selectionEnd = frame;
        } else if (frame != state.selectionEnd) {
            state.selectionStart = state.selectionEnd = frame;
        }
        fixedEnd_ = state.selectionStart;
    }

    // The range the drag would select with the pointer at `frame`, for showing it meanwhile.
    std::pair<uint32_t, uint32_t> rangeAt(uint32_t frame) const {
        return {std::min(fixedEnd_, frame), std::max(fixedEnd_, frame)};
    }

    void finish(TimelineState& state, uint32_t frame) const {
        state.cursor = frame;
        state.selectionEnd = frame;
        if (state.selectionEnd < state.selectionStart) {
            std::swap(state.selectionStart, state.selectionEnd);
        }
    }

  private:
    uint32_t fixedEnd_ = 0;
};

}  // namespace timeline

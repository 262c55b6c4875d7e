#pragma once

#include <cstdint>

#include "model/TrackEvent.h"

namespace kelvane {

// What the renderer remembers about one track between evaluations. It lives with the track
// because editing the events must invalidate the scan position and undo copies it whole; the
// evaluation itself lives in the renderer. A zero state is a valid starting point.
struct TrackEvalState {
    uint32_t nextIndex = 0;     // where the next forward scan resumes
    uint32_t lastFrame = 0;     // output frame of the previous evaluation
    uint32_t currentStart = 0;  // start frame of the event in force
    TrackEvent working{};       // event in force with interpolated values and composed matrices
    TrackEvent from{};          // the event in force as stored, while interpolating
    TrackEvent to{};            // the following event as stored, while interpolating
    int32_t span = 0;           // frames between the two starts, while interpolating
    int32_t elapsed = 0;        // frames since the current start, while interpolating
    int32_t defaultMethod = 0;  // the project's default DrawMethod, 0 = the INI value

    // Editing the event array moves events under the scan: the next evaluation starts over.
    void ForgetPosition() {
        nextIndex = 0;
        lastFrame = 0;
        currentStart = 0;
    }
};

}  // namespace kelvane

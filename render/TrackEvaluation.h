#pragma once

#include <cstdint>

#include "model/Track.h"
#include "model/TrackEvalState.h"

namespace kelvane {

// Brings the track's working copy up to output frame `frame`: the event in force (the last one
// whose start is <= frame), its playback position advanced or interpolated, and its matrices
// composed with the pixel-centre matrix. Frames in increasing order resume the scan where the
// previous one stopped; an earlier frame starts over from the first event. Allocates nothing.
// `pixelQuality` is the system default draw method ("PixelQuality"), used when neither the event
// nor the project names one.
void EvaluateTrack(Track& track, uint32_t frame, int32_t pixelQuality);

// Forgets the event in force so that the next evaluation rescans from the first event. The last
// frame stays: an evaluation below it restarts anyway, one at or above it advances from it.
void ResetTrackEvalState(TrackEvalState& state);
inline void ResetTrackEvalState(Track& track) {
    ResetTrackEvalState(track.EvalState());
}

// Moves the working copy to `elapsed` frames of `span` between the from and to copies. Part of
// EvaluateTrack, exposed for the views that show an interpolated event.
void InterpolateWorkingCopy(TrackEvalState& state);

}  // namespace kelvane

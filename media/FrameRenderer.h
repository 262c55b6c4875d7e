#pragma once

#include <cstdint>

#include "model/Project.h"
#include "render/PixelImage.h"
#include "render/PixelJob.h"

namespace kelvane {

// The output picture of a project at one frame: the background, then the current event of each
// track 0 to 255 drawn over what lies below. Runs on one thread; the kernels share each event's
// rows among the process's drawing workers.

// Resets the tracks first when asked (the preview, a nested project), evaluates all of them at
// `frame`, fills the background and draws them. False, with nothing drawn, for a target that is
// not a 32-bit image; the same holds for the functions below. With `transparentBackground` the
// background is left out: the target keeps straight alpha (PixelAlpha::Straight), transparent
// where nothing was drawn.
bool RenderFrame(Project& project, uint32_t frame, PixelImage& target, bool resetFirst,
                 bool transparentBackground = false);

// Draws tracks 0 to 255 that have events; stops at the first track that fails.
bool DrawAllTracks(Project& project, PixelImage& target, const DrawRect& clip);

// Draws one track's working copy. An empty slot, a file ID outside the table or a source without
// an image draws nothing and succeeds; a failed fetch still draws what the image last held and
// fails. An effect event takes its parameter values from `track`, the state's own track (null:
// the effect's defaults).
bool DrawTrackEvent(const TrackEvalState& state, Project& project, PixelImage& target,
                    const DrawRect& clip, const Track* track = nullptr);

// The preview of one track: only that track is reset, evaluated and drawn over the background.
bool RenderTrack(Project& project, uint32_t track, uint32_t frame, PixelImage& target);

}  // namespace kelvane

#pragma once

#include <cstdint>

#include "model/Project.h"
#include "model/TrackEvent.h"
#include "render/PixelImage.h"

namespace kelvane {

// What the preview shows for one file or for one event's source, beside RenderFrame and
// RenderTrack for the compositions.
struct PreviewSource {
    // The source's current image; null when there is nothing to show as an image (no file, an
    // effect, an unknown kind, an unused event).
    const PixelImage* image = nullptr;
    // False when a movie or nested project could not be brought to the frame; the image is then
    // what the source held before.
    bool ok = true;
};

// One file's image. With `fetch` (a new request) a movie or nested project is brought to `frame`
// first; repaints pass false and show the image as it is.
PreviewSource FilePreview(Project& project, uint32_t fileId, uint32_t frame, bool fetch);

// The source image of one event (the work event): its file at the event's playback position,
// in frames of the source (position / frame duration, truncated). Nothing without the Used flag.
PreviewSource EventSourcePreview(Project& project, const TrackEvent& event, bool fetch);

}  // namespace kelvane

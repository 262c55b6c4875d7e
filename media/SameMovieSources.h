#pragma once

#include <cstdint>

namespace kelvane {

class MediaSource;

// Slots that show the same movie file (a second slot for a second track, a nested project that
// shows a movie its parent shows too) each read it with a reader of their own. When one of them
// is asked for the frame that another already holds, copying that image costs a fraction of
// decoding and converting the picture a second time. Sources take part while their movie is open;
// the calls may come from any thread.
namespace same_movie {

void Join(MediaSource& source);
void Leave(MediaSource& source);

// Copies into `source`'s image the image of another open source of the same movie (the same file
// opened with the same frame timing and size) that holds frame `index`; false when none does.
bool CopyHeldFrame(MediaSource& source, int32_t index);

}  // namespace same_movie
}  // namespace kelvane

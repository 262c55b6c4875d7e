#pragma once

#include <algorithm>
#include <cstdint>

#include "render/PixelImage.h"

namespace kelvane {

// What the export needs of the project's frame composition, and no more.
class FrameComposer {
  public:
    virtual ~FrameComposer() = default;

    // Resets the evaluation state of every track and evaluates it at frame 0, and forgets every
    // source's current frame, so that nothing drawn before the export is reused.
    virtual void ResetForExport() = 0;

    // Evaluates every track at `frame` and draws tracks 0 to 255 over `out`, which already holds
    // the background. False when a track failed to draw; `out` then holds what was drawn so far.
    virtual bool Compose(uint32_t frame, PixelImage& out) = 0;

    // Whether the output has sound at all; without it the file carries pictures only.
    virtual bool HasSound() const { return false; }
    // Output samples [s0, s1) of the sound (48 kHz stereo float, interleaved, unclipped) into
    // `out`.
    virtual void MixSound(int64_t s0, int64_t s1, float* out) {
        std::fill(out, out + (s1 - s0) * 2, 0.0f);
    }
};

}  // namespace kelvane

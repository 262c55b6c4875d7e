#pragma once

#include <cstdint>

#include "model/TrackEvent.h"

namespace kelvane {

// Sound inside Kelvane is 48 kHz stereo, 32-bit float, the two channels interleaved. Sample s of
// an output lies at time s / 48,000 s.
inline constexpr int kSoundRate = 48'000;
inline constexpr int kSoundChannels = 2;
// The ramp that keeps a sound from clicking where it starts or stops inside the output: 5 ms.
inline constexpr int kSoundFadeSamples = kSoundRate / 200;

// The first sample of output frame n: n × frame duration in samples, halves rounded up. Taken
// from the frame's own time rather than summed per frame, so that no rate drifts.
inline int64_t FrameStartSample(int64_t frame, RefTime frameDuration) {
    // n × d × 48,000 / 10,000,000 = n × d × 3 / 625; doubled to round halves up in integers.
    // Frame numbers and durations as projects have them fit in 64 bits, with no sign to floor.
    if (frame >= 0 && frame <= int64_t(UINT32_MAX) && frameDuration >= 0 &&
        frameDuration < (RefTime(1) << 28)) {
        return (frame * frameDuration * 6 + 625) / 1250;
    }
    const __int128 twice = __int128(frame) * frameDuration * 6 + 625;
    return int64_t(twice / 1250 - (twice % 1250 < 0 ? 1 : 0));
}

}  // namespace kelvane

#pragma once

#include <cstdint>
#include <vector>

#include "export/FrameComposer.h"
#include "export/audio/SoundEncoder.h"
#include "model/TrackEvent.h"

namespace kelvane {

// The sound of a range of output frames, mixed from the project and encoded frame after frame
// as an export writes it: each frame's samples come from its time in the whole output and reach
// the encoder in the same calls, so the same samples give the same packets. A join renders the
// sound of its whole range in one piece this way, where encoding each part on its own would
// have primed the encoder anew at every seam.
class RangeSoundEncoder {
  public:
    // `first`: the output frame that the range starts with.
    RangeSoundEncoder(FrameComposer& composer, RefTime frameDuration, uint32_t first)
        : composer_(composer), frameDuration_(frameDuration), first_(first) {}

    // Opens the encoder and adds its stream to `format`, before the header is written.
    // `dropPriming` as SoundEncoder::DropPriming says.
    bool Open(AVFormatContext* format, const SoundCodec& codec, bool dropPriming);
    const SoundEncoder& Encoder() const { return encoder_; }

    // Mixes and encodes the sound of the range's frame n (first + n of the output).
    bool EncodeFrame(uint32_t n, const SoundEncoder::PacketWriter& write);
    // Encodes what is left and drains the encoder.
    bool Finish(const SoundEncoder::PacketWriter& write) { return encoder_.Finish(write); }

  private:
    FrameComposer& composer_;
    RefTime frameDuration_;
    uint32_t first_;
    SoundEncoder encoder_;
    std::vector<float> buffer_;
};

}  // namespace kelvane

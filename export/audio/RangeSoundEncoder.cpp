#include "export/audio/RangeSoundEncoder.h"

#include "media/audio/SoundFormat.h"

namespace kelvane {

bool RangeSoundEncoder::Open(AVFormatContext* format, const SoundCodec& codec, bool dropPriming) {
    if (!encoder_.Open(format, codec)) {
        return false;
    }
    if (dropPriming) {
        encoder_.DropPriming();
    }
    return true;
}

bool RangeSoundEncoder::EncodeFrame(uint32_t n, const SoundEncoder::PacketWriter& write) {
    const int64_t frame = int64_t(first_) + n;
    const int64_t s0 = FrameStartSample(frame, frameDuration_);
    const int64_t s1 = FrameStartSample(frame + 1, frameDuration_);
    buffer_.resize(size_t(s1 - s0) * kSoundChannels);
    composer_.MixSound(s0, s1, buffer_.data());
    return encoder_.Encode(buffer_.data(), s1 - s0, write);
}

}  // namespace kelvane

#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "export/audio/SoundCodecs.h"
#include "media/FfmpegHandles.h"

namespace kelvane {

// Encodes the export's sound (48 kHz stereo float, interleaved) into one audio stream of a
// muxer. The sum of the tracks is clipped to [-1, 1] here, where it is encoded, and nowhere
// before. Packets come out with their times in the stream's time base, the encoder's priming
// included as negative times (the muxers turn that into an edit list or a pre-skip), and go to
// the writer's own packet writer.
class SoundEncoder {
  public:
    using PacketWriter = std::function<bool(AVPacket*)>;

    SoundEncoder() = default;
    ~SoundEncoder();
    SoundEncoder(const SoundEncoder&) = delete;
    SoundEncoder& operator=(const SoundEncoder&) = delete;

    // Opens the encoder and adds its stream to `format` (before the header is written). False
    // when the encoder refuses.
    bool Open(AVFormatContext* format, const SoundCodec& codec);
    // The stream's parameters, for a muxer that is set up again from them.
    const AVCodecParameters* Parameters() const;
    int StreamIndex() const { return streamIndex_; }
    AVRational TimeBase() const { return timeBase_; }

    // For muxers that cannot signal the encoder's priming in the form we write them (FFmpeg's
    // fragmented MP4 and QuickTime have no edit list): the priming packets are left out, so that
    // the decoded sound starts at time 0 in step with the pictures. The first 1024 samples then
    // decode without their predecessor's overlap, softened at the very start of the file.
    void DropPriming() { dropPriming_ = true; }

    // Encodes `count` stereo samples; every packet finished goes to `write`. PCM makes exactly
    // one packet of the samples of each call.
    bool Encode(const float* samples, int64_t count, const PacketWriter& write);
    // Encodes what is left (a short last frame) and drains the encoder.
    bool Finish(const PacketWriter& write);

  private:
    bool SendFrame(int samples, const PacketWriter& write);
    bool Drain(const PacketWriter& write);

    av::CodecContextPtr encoder_;
    av::FramePtr frame_;
    av::PacketPtr packet_;
    AVStream* stream_ = nullptr;
    int streamIndex_ = -1;
    AVRational timeBase_{1, 48000};
    // Clipped samples waiting for a whole encoder frame, interleaved.
    std::vector<float> pending_;
    int64_t nextPts_ = 0;
    bool finished_ = false;
    bool dropPriming_ = false;
};

}  // namespace kelvane

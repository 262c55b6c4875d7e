#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/Compressor.h"
#include "export/ContainerCutPoint.h"
#include "export/FrameWriter.h"
#include "export/OutputContainer.h"
#include "export/audio/FrameSound.h"
#include "media/FfmpegHandles.h"
#include "render/PixelImage.h"

namespace kelvane {

// Writes the composed output frames into an MP4, QuickTime, Matroska or WebM file through
// libavformat's muxer, encoded with one of the container's codecs; the AVI writer's counterpart
// as a FrameWriter. The calls come in its order: Open, WriteFrame for frames 0, 1, 2, ..., Close.
// Whatever way the export ends, Close drains the encoder and finishes the file, so that it holds
// exactly the frames written; MP4 and QuickTime files are fragmented besides, so that even a file
// whose writer never closed plays up to its last complete fragment. Fragments and clusters hold a
// second each: after a failed write (a full disk) Close cuts the file back to the end of the last
// one that reached it whole, which needs no room, and the file holds the frames before it; a file
// left without a frame is removed.
class SoundEncoder;
struct SoundCodec;

class ContainerWriter final : public FrameWriter {
  public:
    // `quality` 0 to 100, below 0 the default.
    ContainerWriter(const OutputContainer& container, const CompressorInfo& codec, int quality);
    ~ContainerWriter() override;
    ContainerWriter(const ContainerWriter&) = delete;
    ContainerWriter& operator=(const ContainerWriter&) = delete;

    // The comment ("ICMT") and the title ("INAM") become the container's own entries.
    void SetInfo(std::vector<std::pair<std::string, std::string>> entries) override {
        info_ = std::move(entries);
    }
    void SetSound(const SoundCodec* codec) override { soundCodec_ = codec; }

    bool Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
              uint32_t scale) override;
    // Converts and encodes the frame with its sound and writes what the encoders have finished.
    bool WriteFrame(const void* pixels, size_t size, uint32_t index, FrameSound sound) override;
    // Drains the encoders and writes the trailer; safe more than once.
    void Close() override;

    const FailureNote& Failure() const override { return failure_; }
    int64_t FramesKept() const override { return framesKept_; }
    int64_t LastEncodeEndNs() const override { return lastEncodeEndNs_; }

  private:
    bool OpenFile(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
                  uint32_t scale);
    bool Encode(const uint8_t* pixels, uint32_t index, FrameSound sound);
    bool OpenConverter();
    bool WritePendingPackets();
    // Ends the fragment or cluster under way and marks the file's end as a clean cut.
    bool EndFragment();
    bool NoteWriteFailure(int result);
    bool WritePacket(AVPacket* pkt);
    void RecordFailure();
    // Finishes the file: what the muxer still holds goes out, or after a failed write the file
    // is cut back. The frames it holds, 0 when it was removed, -1 when a cut could not finish.
    int64_t Finish();

    const OutputContainer& container_;
    const CompressorInfo& codec_;
    int quality_;
    std::vector<std::pair<std::string, std::string>> info_;
    int width_ = 0;
    int height_ = 0;
    std::string path_;
    av::OutputContextPtr format_;
    AVStream* stream_ = nullptr;  // owned by format_
    av::CodecContextPtr encoder_;
    av::SwsPtr convert_;
    av::FramePtr frame_;
    av::PacketPtr packet_;
    bool headerWritten_ = false;
    bool writeFailed_ = false;
    ContainerCutPoint cut_;
    int64_t packetsMuxed_ = 0;
    int64_t fragmentStart_ = 0;  // the first packet of the fragment under way, in packets
    int64_t fragmentMinPackets_ = 1;
    int64_t framesKept_ = -1;
    int64_t lastEncodeEndNs_ = 0;
    int writeError_ = 0;
    uint32_t nextIndex_ = 0;
    FailureNote failure_;
    const SoundCodec* soundCodec_ = nullptr;
    std::unique_ptr<SoundEncoder> sound_;
};

}  // namespace kelvane

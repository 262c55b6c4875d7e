#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "export/Compressor.h"
#include "export/ContainerCutPoint.h"
#include "export/OutputContainer.h"
#include "export/audio/FrameSound.h"
#include "media/FfmpegHandles.h"
#include "render/PixelImage.h"

namespace kelvane {

// Writes the composed output frames into an MP4, QuickTime, Matroska or WebM file through
// libavformat's muxer, encoded with one of the container's codecs. The calls come in the order
// of the AVI writer's: Open, WriteFrame for frames 0, 1, 2, ..., Close. Whatever way the export
// ends, Close drains the encoder and finishes the file, so that it holds exactly the frames
// written; MP4 and QuickTime files are fragmented besides, so that even a file whose writer never
// closed plays up to its last complete fragment. Fragments and clusters hold a second each:
// after a failed write (a full disk) Close cuts the file back to the end of the last one that
// reached it whole, which needs no room, and the file holds the frames before it; a file left
// without a frame is removed.
class SoundEncoder;
struct SoundCodec;

class ContainerWriter {
  public:
    // `quality` 0 to 100, below 0 the default.
    ContainerWriter(const OutputContainer& container, const CompressorInfo& codec, int quality);
    ~ContainerWriter();
    ContainerWriter(const ContainerWriter&) = delete;
    ContainerWriter& operator=(const ContainerWriter&) = delete;

    // Creates (or overwrites) the file and writes its header; the frames are 32-bit bottom-up
    // bitmaps of input's size at rate / scale frames per second. `info` holds the file's text
    // entries as the AVI writer takes them ("ICMT" is the comment). Nothing is left behind when
    // the encoder refuses the format.
    bool Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate, uint32_t scale,
              const std::vector<std::pair<std::string, std::string>>& info);

    // With a codec (before Open): the file gets an audio stream, fed with each frame's sound.
    void SetSound(const SoundCodec* codec) { soundCodec_ = codec; }

    // Converts and encodes frame `index` (ascending from 0) with its sound and writes what the
    // encoders have finished.
    bool WriteFrame(const uint8_t* pixels, uint32_t index, FrameSound sound = {});

    // Drains the encoder and writes the trailer; safe more than once.
    void Close();

    int64_t LastEncodeEndNs() const { return lastEncodeEndNs_; }
    // The system's error number of the failed open or write, 0 when none failed.
    int WriteError() const { return writeError_; }
    // The frames the file holds once closed (0: the file was removed); -1 before Close, and
    // when a cut file could not be finished.
    int64_t FramesKept() const { return framesKept_; }

  private:
    bool OpenConverter();
    bool WritePendingPackets();
    // Ends the fragment or cluster under way and marks the file's end as a clean cut.
    bool EndFragment();
    bool NoteWriteFailure(int result);
    bool WritePacket(AVPacket* pkt);

    const OutputContainer& container_;
    const CompressorInfo& codec_;
    int quality_;
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
    const SoundCodec* soundCodec_ = nullptr;
    std::unique_ptr<SoundEncoder> sound_;
};

}  // namespace kelvane

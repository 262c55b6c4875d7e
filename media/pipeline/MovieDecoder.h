#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/FfmpegHandles.h"
#include "media/pipeline/MediaType.h"

namespace kelvane {

// The source and decoder of the pipeline: demultiplexes one video stream of a movie file, decodes
// it and converts pictures to bottom-up 32-bit rows. Each decoded picture is addressed by its
// index, derived from its best-effort timestamp relative to the first picture of the stream, so
// that a frame number names the same picture however it is reached. Not thread-safe: the graph
// hands it either to its streaming thread or to the thread that seeks, never to both at once.
class MovieDecoder {
  public:
    enum class Result { Frame, End, Error };

    MovieDecoder() = default;
    MovieDecoder(const MovieDecoder&) = delete;
    MovieDecoder& operator=(const MovieDecoder&) = delete;

    // Opens the container and reads its stream information.
    bool Open(const std::string& nativePath);
    // The video streams (attached cover pictures excepted), best first.
    int VideoStreamCount() const { return int(videoStreams_.size()); }
    // Opens the decoder of a video stream and a converter to 32-bit RGB, measures the stream and
    // describes the type it delivers. False when the stream cannot be decoded.
    bool Prepare(int videoStream, MediaType& offered);

    // True when frame numbers name pictures exactly (a constant, known frame rate).
    bool FrameExact() const { return frameExact_; }
    // 0 when the stream knows no frame rate.
    RefTime AvgTimePerFrame() const { return avgTimePerFrame_; }
    int64_t FrameCount() const { return frameCount_; }
    // Media time of the end of the stream, from the start of the first picture.
    RefTime Duration() const { return duration_; }

    // Positions the stream so that decoding starts at a key frame at or before the picture at
    // `position` (a frame number, or media time in 100 ns units from the first picture).
    bool Seek(bool frameUnits, int64_t position);
    // Decodes the next picture. `error` receives the graph event code of a fatal error.
    Result Next(int64_t& index, RefTime& time, int32_t& error);
    // Converts the last decoded picture to bottom-up 32-bit rows of the delivered size.
    bool Convert(uint8_t* destination, size_t size);

    int Width() const { return width_; }
    int Height() const { return height_; }

  private:
    int64_t IndexOf(int64_t ts) const;
    RefTime TimeOf(int64_t ts) const;
    bool SeekDemuxer(int64_t ts);
    bool SeekToStart(int method);
    bool SeekStart(const std::function<bool(int64_t)>& acceptable);
    bool ReadKeyPacket(int64_t& keyTs, bool& found);
    bool Measure();

    av::InputContextPtr format_;
    av::CodecContextPtr codec_;
    av::SwsPtr sws_;
    int swsSpace_ = -1;
    int swsFullRange_ = -1;
    av::FramePtr frame_;
    av::PacketPtr packet_;
    bool prepared_ = false;
    bool packetPending_ = false;
    bool inputEnded_ = false;
    std::vector<int> videoStreams_;
    AVStream* stream_ = nullptr;
    int streamIndex_ = -1;
    AVRational frameRate_{0, 1};
    int64_t originTs_ = 0;
    int64_t lastTs_ = AV_NOPTS_VALUE;
    bool frameExact_ = false;
    RefTime avgTimePerFrame_ = 0;
    int64_t frameCount_ = 0;
    RefTime duration_ = 0;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kelvane

#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/FfmpegHandles.h"
#include "media/pipeline/DecodedPicture.h"
#include "media/pipeline/MediaType.h"
#include "media/pipeline/PacketTimes.h"

namespace kelvane {

// Called on the streaming thread before each packet is read, with the file's native path; it may
// block, standing for a slow disk or a loaded machine. For tests; process-wide, null for none.
using PacketReadHook = void (*)(const std::string& nativePath);
void SetPacketReadHook(PacketReadHook hook);

// The source and decoder of the pipeline: demultiplexes one video stream of a movie file and
// decodes it. Each decoded picture is addressed by its index, derived from its timestamp relative
// to the first picture of the stream, so that a frame number names the same picture however it is
// reached. Containers that carry decode times only, or presentation times on some pictures only,
// leave pictures without a usable time: such a picture follows the one before it, and a seek that
// cannot place its first picture, or lands after the position asked for, goes back to an earlier
// key frame. Not thread-safe: the graph hands it either to its streaming thread or to the thread
// that seeks, never to both at once.
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
    // Opens the decoder of a video stream, measures the stream and describes the type it delivers
    // (bottom-up 32-bit RGB). False when the stream cannot be decoded.
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
    // Pictures before `position` (in the units of the last seek) are not wanted: where the codec
    // guarantees that a picture marked as non-reference changes no later picture, such pictures
    // are not decoded at all. Seek sets it to the position sought.
    void SetSkipBefore(int64_t position) { skipBefore_ = position; }
    // Where the key frame that the last seek starts decoding from is shown, in that seek's units;
    // false when its time is not known.
    bool KeyPosition(int64_t& position) const;
    // Decodes the next picture. `error` receives the graph event code of a fatal error.
    Result Next(int64_t& index, RefTime& time, int32_t& error);
    // The picture of the last successful Next with its frame number and media time, ready to be
    // converted when delivered; null when memory runs out.
    PicturePtr TakePicture(int64_t index, RefTime time);

    // Pictures the codec has produced since the file was opened (skipped ones do not count).
    uint64_t DecodedCount() const { return decoded_.load(std::memory_order_relaxed); }
    // Pictures decoded by every decoder of the process so far, for benchmarks that drive the
    // movies from the window, where no reader is at hand.
    static uint64_t DecodedInProcess();
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Whether the prepared stream's pictures have an alpha channel.
    bool HasAlpha() const { return hasAlpha_; }
    // Delivered pictures keep their alpha in the fourth byte (see FrameConverter).
    void SetKeepAlpha(bool keep) {
        if (converter_)
            converter_->SetKeepAlpha(keep);
    }

  private:
    int64_t IndexOf(int64_t ts) const;
    RefTime TimeOf(int64_t ts) const;
    void Reset();
    bool SeekDemuxer(int64_t ts);
    bool SeekToStart(int method);
    bool SeekStart(const std::function<bool(int64_t)>& acceptable);
    bool SeekKeyBefore(int64_t limitTs);
    bool BackOff();
    bool Beyond(int64_t ts) const;
    bool CanDecodeOnTo(bool frameUnits, int64_t position) const;
    bool Skippable(const AVPacket& packet) const;
    bool ReadKeyPacket(int64_t& keyTs, bool& found);
    bool ReadPacket(int& error);
    bool Measure();

    std::string path_;
    av::InputContextPtr format_;
    av::CodecContextPtr codec_;
    std::shared_ptr<FrameConverter> converter_;
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
    bool hasAlpha_ = false;
    // The packets' times from the start, where the stream was read through to be measured.
    PacketTimes times_;

    // The last seek: where it was asked to go, the key frame it went to, whether that is the start
    // of the stream (where a picture without a time is the first), and whether its first picture
    // has still to be checked.
    bool seekFrameUnits_ = false;
    int64_t seekPosition_ = 0;
    int64_t keyTs_ = AV_NOPTS_VALUE;
    bool atStart_ = true;
    bool verifying_ = false;
    int backOffs_ = 0;
    // The decode time of the last packet read; the first picture, decoded when the stream was
    // measured, not yet given out.
    int64_t lastReadDts_ = AV_NOPTS_VALUE;
    bool firstPending_ = false;

    // Non-reference pictures may be left undecoded: the codec guarantees it changes nothing, and
    // every packet so far carried a presentation time (pictures timed by the packet that made the
    // decoder give them out would be misnumbered if packets went missing).
    bool nonReferenceSkippable_ = false;
    bool packetWithoutPts_ = false;
    int64_t skipBefore_ = 0;
    std::atomic<uint64_t> decoded_{0};
};

}  // namespace kelvane

#include "media/pipeline/MovieDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kelvane {

namespace {

constexpr AVRational kRefTimeBase{1, 10'000'000};
constexpr int32_t kEventErrorAbort = 3;
constexpr int32_t kEventStreamErrorStopped = 6;

bool Valid(AVRational q) {
    return q.num > 0 && q.den > 0;
}

// Full-range pixel formats that swscale only accepts with a deprecation warning; the same layout
// with the range given separately converts identically.
AVPixelFormat WithoutRange(AVPixelFormat f, int& fullRange) {
    switch (f) {
        case AV_PIX_FMT_YUVJ420P:
            fullRange = 1;
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            fullRange = 1;
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            fullRange = 1;
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            fullRange = 1;
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            fullRange = 1;
            return AV_PIX_FMT_YUV411P;
        default:
            return f;
    }
}

// Sixteen bytes at a time: this pass touches every pixel of every frame.
void ClearFourthBytes(uint8_t* pixels, size_t size) {
    typedef uint32_t Lanes __attribute__((vector_size(16)));
    const Lanes mask = {0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu};
    size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        Lanes v;
        std::memcpy(&v, pixels + i, 16);
        v &= mask;
        std::memcpy(pixels + i, &v, 16);
    }
    for (; i < size; i += 4)
        pixels[i + 3] = 0;
}

}  // namespace

bool MovieDecoder::Open(const std::string& nativePath) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, nativePath.c_str(), nullptr, nullptr) < 0)
        return false;
    format_.reset(raw);
    if (avformat_find_stream_info(format_.get(), nullptr) < 0)
        return false;
    const int best = av_find_best_stream(format_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        const AVStream* s = format_->streams[i];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        if (s->disposition & AV_DISPOSITION_ATTACHED_PIC)
            continue;
        if (int(i) == best)
            videoStreams_.insert(videoStreams_.begin(), int(i));
        else
            videoStreams_.push_back(int(i));
    }
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    return !videoStreams_.empty() && frame_ && packet_;
}

bool MovieDecoder::Prepare(int videoStream, MediaType& offered) {
    if (!format_ || videoStream < 0 || videoStream >= VideoStreamCount())
        return false;
    codec_.reset();
    sws_.reset();
    av_packet_unref(packet_.get());
    packetPending_ = false;
    inputEnded_ = false;
    lastTs_ = AV_NOPTS_VALUE;
    // An earlier stream that failed to prepare has read on; measuring starts at the beginning.
    if (prepared_) {
        streamIndex_ = videoStreams_[size_t(videoStream)];
        stream_ = format_->streams[streamIndex_];
        originTs_ = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
        if (!SeekToStart(1) && !SeekToStart(0) && !SeekToStart(2))
            return false;
    }
    prepared_ = true;
    streamIndex_ = videoStreams_[size_t(videoStream)];
    stream_ = format_->streams[streamIndex_];
    const AVCodecParameters* par = stream_->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder)
        return false;
    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_ || avcodec_parameters_to_context(codec_.get(), par) < 0)
        return false;
#if defined(__SANITIZE_THREAD__)
    // FFmpeg's worker threads synchronise through atomics inside the uninstrumented library, which
    // the thread sanitizer cannot see; a single decoding thread keeps its reports about our code.
    codec_->thread_count = 1;
#else
    codec_->thread_count = 0;  // as many as the machine has
#endif
    codec_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    codec_->pkt_timebase = stream_->time_base;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0)
        return false;

    width_ = par->width;
    height_ = par->height;
    // The delivered size must fit the bitmap header's 32-bit image size.
    if (width_ <= 0 || height_ <= 0 || width_ > 32768 || height_ > 32768 ||
        uint64_t(width_) * uint64_t(height_) * 4 > std::numeric_limits<uint32_t>::max())
        return false;

    const AVRational avg = stream_->avg_frame_rate;
    const AVRational real = stream_->r_frame_rate;
    frameRate_ = Valid(avg) ? avg : Valid(real) ? real : AVRational{0, 1};
    frameExact_ = Valid(frameRate_) && (!Valid(avg) || !Valid(real) || av_cmp_q(avg, real) == 0);
    avgTimePerFrame_ = Valid(frameRate_) ? av_rescale_rnd(kRefTimePerSecond, frameRate_.den,
                                                          frameRate_.num, AV_ROUND_NEAR_INF)
                                         : 0;
    if (!Measure())
        return false;

    offered = MediaType{};
    VideoInfoHeader& v = offered.format;
    v.source = VideoRect{0, 0, width_, height_};
    v.target = v.source;
    v.avgTimePerFrame = avgTimePerFrame_;
    v.bmiHeader.width = width_;
    v.bmiHeader.height = height_;  // positive: rows bottom-up
    v.bmiHeader.planes = 1;
    v.bmiHeader.bitCount = 32;
    v.bmiHeader.compression = 0;
    v.bmiHeader.sizeImage = uint32_t(PixelImage::PitchFor(width_, 32) * size_t(height_));
    if (avgTimePerFrame_ > 0)
        v.bitRate = uint32_t(std::min<int64_t>(
            int64_t(v.bmiHeader.sizeImage) * 8 * kRefTimePerSecond / avgTimePerFrame_,
            std::numeric_limits<uint32_t>::max()));
    return Seek(false, 0);
}

// Finds the first decodable picture, which every index counts from, and the length of the stream.
bool MovieDecoder::Measure() {
    int64_t index = 0;
    RefTime time = 0;
    int32_t error = 0;
    originTs_ = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
    if (Next(index, time, error) != Result::Frame)
        return false;
    if (frame_->best_effort_timestamp != AV_NOPTS_VALUE)
        originTs_ = frame_->best_effort_timestamp;

    const bool originAtStart =
        stream_->start_time == AV_NOPTS_VALUE || stream_->start_time == originTs_;
    if (frameExact_ && stream_->nb_frames > 0 && originAtStart) {
        frameCount_ = stream_->nb_frames;
        duration_ = frameCount_ * avgTimePerFrame_;
        return true;
    }
    // The container does not say how many pictures it holds: count them from the packets' times,
    // the same way the pictures themselves are numbered.
    if (!SeekToStart(0) && !SeekToStart(1) && !SeekToStart(2))
        return false;
    int64_t lastIndex = -1;
    RefTime end = 0;
    while (av_read_frame(format_.get(), packet_.get()) >= 0) {
        if (packet_->stream_index == streamIndex_) {
            const int64_t ts = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
            if (ts != AV_NOPTS_VALUE && ts >= originTs_) {
                if (Valid(frameRate_))
                    lastIndex = std::max(lastIndex, IndexOf(ts));
                const int64_t duration = std::max<int64_t>(packet_->duration, 0);
                end = std::max(end, TimeOf(ts + duration));
            }
        }
        av_packet_unref(packet_.get());
    }
    if (Valid(frameRate_)) {
        frameCount_ = lastIndex + 1;
        duration_ = frameExact_ ? frameCount_ * avgTimePerFrame_
                                : std::max(end, frameCount_ * avgTimePerFrame_);
    } else {
        duration_ = end;
    }
    return frameCount_ > 0 || duration_ > 0;
}

int64_t MovieDecoder::IndexOf(int64_t ts) const {
    if (!Valid(frameRate_))
        return 0;
    return av_rescale_q_rnd(ts - originTs_, stream_->time_base, av_inv_q(frameRate_),
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

RefTime MovieDecoder::TimeOf(int64_t ts) const {
    return av_rescale_q(ts - originTs_, stream_->time_base, kRefTimeBase);
}

bool MovieDecoder::SeekDemuxer(int64_t ts) {
    if (av_seek_frame(format_.get(), streamIndex_, ts, AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    return avformat_seek_file(format_.get(), streamIndex_, std::numeric_limits<int64_t>::min(), ts,
                              ts, 0) >= 0;
}

bool MovieDecoder::SeekToStart(int method) {
    switch (method) {
        case 0:
            return SeekDemuxer(originTs_);
        case 1:
            return avformat_seek_file(format_.get(), streamIndex_,
                                      std::numeric_limits<int64_t>::min(),
                                      std::numeric_limits<int64_t>::min(), originTs_, 0) >= 0;
        default:
            // Streams without usable timestamps still start at their first byte.
            if (format_->iformat->flags & AVFMT_NO_BYTE_SEEK)
                return false;
            return av_seek_frame(format_.get(), -1, 0, AVSEEK_FLAG_BYTE) >= 0;
    }
}

// Reads up to the stream's next key packet and keeps it for the decoder. False on a read error.
bool MovieDecoder::ReadKeyPacket(int64_t& keyTs, bool& found) {
    found = false;
    for (;;) {
        const int r = av_read_frame(format_.get(), packet_.get());
        if (r < 0)
            return r == AVERROR_EOF || !format_->pb || avio_feof(format_->pb);
        if (packet_->stream_index == streamIndex_ && (packet_->flags & AV_PKT_FLAG_KEY)) {
            keyTs = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
            packetPending_ = true;
            found = true;
            return true;
        }
        av_packet_unref(packet_.get());
    }
}

bool MovieDecoder::Seek(bool frameUnits, int64_t position) {
    if (!codec_)
        return false;
    avcodec_flush_buffers(codec_.get());
    av_packet_unref(packet_.get());
    packetPending_ = false;
    inputEnded_ = false;
    lastTs_ = AV_NOPTS_VALUE;

    const AVRational tb = stream_->time_base;
    const int64_t target = originTs_ + (frameUnits && Valid(frameRate_)
                                            ? av_rescale_q(position, av_inv_q(frameRate_), tb)
                                            : av_rescale_q(position, kRefTimeBase, tb));
    auto acceptable = [&](int64_t keyTs) {
        if (keyTs == AV_NOPTS_VALUE)
            return true;
        if (frameUnits)
            return IndexOf(keyTs) <= position;
        return TimeOf(keyTs) < position + std::max<RefTime>(avgTimePerFrame_ / 2, 1);
    };
    // Demuxers land on a key frame at or before the asked time as well as they can; some land
    // later or on a picture that only decodes with its predecessors. The key frame found is
    // checked, and the search steps further back until it starts early enough.
    const int64_t halfFrame = Valid(frameRate_) ? av_rescale_q(1, av_inv_q(frameRate_), tb) / 2 : 0;
    int64_t seekTs = target + halfFrame;
    int64_t back = std::max<int64_t>(av_rescale_q(1, AVRational{1, 1}, tb), 1);
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (seekTs <= originTs_)
            return SeekStart(acceptable);
        if (!SeekDemuxer(seekTs))
            return SeekStart(acceptable);
        int64_t keyTs = AV_NOPTS_VALUE;
        bool found = false;
        if (!ReadKeyPacket(keyTs, found))
            return false;
        if (found) {
            if (acceptable(keyTs))
                return true;
            av_packet_unref(packet_.get());
            packetPending_ = false;
            seekTs = std::min(seekTs, keyTs);
        }
        seekTs -= back;
        back *= 2;
    }
    return SeekStart(acceptable);
}

// Goes to the stream's first key frame. Timestamp seeks to the start land after it in some
// containers (transport streams seek by decoding times, which start before the first picture's),
// so each way is checked in turn.
bool MovieDecoder::SeekStart(const std::function<bool(int64_t)>& acceptable) {
    int usable = -1;
    for (int method = 0; method < 3; ++method) {
        if (!SeekToStart(method))
            continue;
        int64_t keyTs = AV_NOPTS_VALUE;
        bool found = false;
        if (!ReadKeyPacket(keyTs, found))
            continue;
        if (!found || acceptable(keyTs))
            return true;
        av_packet_unref(packet_.get());
        packetPending_ = false;
        if (usable < 0)
            usable = method;
    }
    // Nothing earlier exists: the first key frame that can be reached will do.
    if (usable < 0 || !SeekToStart(usable))
        return false;
    int64_t keyTs = AV_NOPTS_VALUE;
    bool found = false;
    return ReadKeyPacket(keyTs, found);
}

MovieDecoder::Result MovieDecoder::Next(int64_t& index, RefTime& time, int32_t& error) {
    int failures = 0;
    for (;;) {
        const int r = avcodec_receive_frame(codec_.get(), frame_.get());
        if (r >= 0) {
            int64_t ts = frame_->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE) {
                const int64_t step = Valid(frameRate_)
                                         ? av_rescale_q(1, av_inv_q(frameRate_), stream_->time_base)
                                         : 1;
                ts = lastTs_ == AV_NOPTS_VALUE ? originTs_ : lastTs_ + step;
            }
            lastTs_ = ts;
            index = IndexOf(ts);
            time = TimeOf(ts);
            return Result::Frame;
        }
        if (r == AVERROR_EOF)
            return Result::End;
        if (r != AVERROR(EAGAIN)) {
            // A damaged picture costs that picture only; memory exhaustion ends the stream.
            if (r == AVERROR(ENOMEM) || ++failures > 1000) {
                error = kEventErrorAbort;
                return Result::Error;
            }
            continue;
        }
        if (inputEnded_)
            return Result::End;
        if (!packetPending_) {
            const int rr = av_read_frame(format_.get(), packet_.get());
            if (rr < 0) {
                if (rr == AVERROR_EOF || !format_->pb || avio_feof(format_->pb)) {
                    avcodec_send_packet(codec_.get(), nullptr);
                    inputEnded_ = true;
                    continue;
                }
                error = kEventStreamErrorStopped;
                return Result::Error;
            }
            if (packet_->stream_index != streamIndex_) {
                av_packet_unref(packet_.get());
                continue;
            }
            packetPending_ = true;
        }
        const int s = avcodec_send_packet(codec_.get(), packet_.get());
        if (s == AVERROR(EAGAIN))
            continue;  // the decoder gives out pictures first
        av_packet_unref(packet_.get());
        packetPending_ = false;
        if (s == AVERROR(ENOMEM)) {
            error = kEventErrorAbort;
            return Result::Error;
        }
    }
}

bool MovieDecoder::Convert(uint8_t* destination, size_t size) {
    const size_t pitch = PixelImage::PitchFor(width_, 32);
    if (!destination || size < pitch * size_t(height_))
        return false;
    int fullRange = frame_->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    const AVPixelFormat source = WithoutRange(AVPixelFormat(frame_->format), fullRange);
    // Pictures may change size within a stream; they are scaled to the connected size so that
    // every sample fills the same buffer.
    SwsContext* previous = sws_.get();
    sws_.reset(sws_getCachedContext(sws_.release(), frame_->width, frame_->height, source, width_,
                                    height_, AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr,
                                    nullptr));
    if (!sws_)
        return false;
    int space = SWS_CS_DEFAULT;
    if (frame_->colorspace != AVCOL_SPC_UNSPECIFIED && frame_->colorspace != AVCOL_SPC_RGB)
        space = int(frame_->colorspace);
    // Setting the colour details rebuilds the converter's tables: only when they change.
    if (sws_.get() != previous || space != swsSpace_ || fullRange != swsFullRange_) {
        sws_setColorspaceDetails(sws_.get(), sws_getCoefficients(space), fullRange,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        swsSpace_ = space;
        swsFullRange_ = fullRange;
    }
    // Bottom-up rows: the first converted row is the last one in memory.
    uint8_t* rows[4] = {destination + (size_t(height_) - 1) * pitch, nullptr, nullptr, nullptr};
    int strides[4] = {-int(pitch), 0, 0, 0};
    if (sws_scale(sws_.get(), frame_->data, frame_->linesize, 0, frame_->height, rows, strides) !=
        height_)
        return false;
    // The converter writes 0xFF into the unused fourth byte; images carry 0 there.
    ClearFourthBytes(destination, pitch * size_t(height_));
    return true;
}

}  // namespace kelvane

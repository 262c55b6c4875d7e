#include "media/pipeline/MovieDecoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "platform/StepTimes.h"

namespace kelvane {

namespace {

// WebM stores VP9 alpha as a second stream in block side data, marked by "alpha_mode"; FFmpeg's
// own VP9 decoder drops it, libvpx's decodes it.
bool HasVp9Alpha(const AVStream& stream) {
    const AVDictionaryEntry* mode = av_dict_get(stream.metadata, "alpha_mode", nullptr, 0);
    return stream.codecpar->codec_id == AV_CODEC_ID_VP9 && mode != nullptr &&
           std::strcmp(mode->value, "1") == 0;
}

const AVCodec* ChooseDecoder(const AVStream& stream) {
    if (HasVp9Alpha(stream)) {
        if (const AVCodec* vpx = avcodec_find_decoder_by_name("libvpx-vp9"))
            return vpx;
    }
    return avcodec_find_decoder(stream.codecpar->codec_id);
}

bool HasAlphaChannel(const AVStream& stream, const AVCodecContext& codec) {
    if (HasVp9Alpha(stream))
        return std::strcmp(codec.codec->name, "libvpx-vp9") == 0;
    for (const int format : {int(codec.pix_fmt), stream.codecpar->format}) {
        const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(AVPixelFormat(format));
        if (layout != nullptr && (layout->flags & AV_PIX_FMT_FLAG_ALPHA) != 0)
            return true;
    }
    return false;
}

std::atomic<PacketReadHook> packetReadHook{nullptr};

constexpr AVRational kRefTimeBase{1, 10'000'000};
constexpr int32_t kEventErrorAbort = 3;
constexpr int32_t kEventStreamErrorStopped = 6;

std::atomic<uint64_t> g_decodedInProcess{0};
// Seeks that land too late go back further, doubling the step each time; past this many the
// stream is read from its start.
constexpr int kMaxBackOffs = 24;

bool Valid(AVRational q) {
    return q.num > 0 && q.den > 0;
}

// Codecs in which a picture marked as non-reference is, by the codec's definition, never used to
// predict another: B-pictures of the MPEG family, H.264 pictures with nal_ref_idc 0. Leaving them
// undecoded changes no later picture. (HEVC's non-reference marks hold within one temporal
// sub-layer only, and other codecs keep probability state across pictures: not listed.)
bool NonReferenceSkipIsExact(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_H264:
        case AV_CODEC_ID_MPEG1VIDEO:
        case AV_CODEC_ID_MPEG2VIDEO:
        case AV_CODEC_ID_MPEG4:
            return true;
        default:
            return false;
    }
}

}  // namespace

void SetPacketReadHook(PacketReadHook hook) {
    packetReadHook.store(hook);
}

uint64_t MovieDecoder::DecodedInProcess() {
    return g_decodedInProcess.load(std::memory_order_relaxed);
}

bool MovieDecoder::Open(const std::string& nativePath) {
    const StepTimer timer(Step::MovieOpen);
    path_ = nativePath;
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
    const StepTimer timer(Step::MovieOpen);
    if (!format_ || videoStream < 0 || videoStream >= VideoStreamCount())
        return false;
    codec_.reset();
    converter_.reset();
    Reset();
    times_.Clear();
    lastReadDts_ = AV_NOPTS_VALUE;
    packetWithoutPts_ = false;
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
    const AVCodec* decoder = ChooseDecoder(*stream_);
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
    nonReferenceSkippable_ = NonReferenceSkipIsExact(par->codec_id);
    hasAlpha_ = HasAlphaChannel(*stream_, *codec_);

    width_ = par->width;
    height_ = par->height;
    // The delivered size must fit the bitmap header's 32-bit image size.
    if (width_ <= 0 || height_ <= 0 || width_ > 32768 || height_ > 32768 ||
        uint64_t(width_) * uint64_t(height_) * 4 > std::numeric_limits<uint32_t>::max())
        return false;
    try {
        converter_ = std::make_shared<FrameConverter>(width_, height_);
    } catch (const std::bad_alloc&) {
        return false;
    }

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
    v.bmiHeader.sizeImage = uint32_t(converter_->ConvertedSize());
    if (avgTimePerFrame_ > 0)
        v.bitRate = uint32_t(std::min<int64_t>(
            int64_t(v.bmiHeader.sizeImage) * 8 * kRefTimePerSecond / avgTimePerFrame_,
            std::numeric_limits<uint32_t>::max()));
    return firstPending_ || Seek(false, 0);
}

// Finds the first decodable picture, which every index counts from, and the length of the stream.
bool MovieDecoder::Measure() {
    int64_t index = 0;
    RefTime time = 0;
    int32_t error = 0;
    originTs_ = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
    atStart_ = true;
    verifying_ = false;
    if (Next(index, time, error) != Result::Frame)
        return false;
    if (frame_->best_effort_timestamp != AV_NOPTS_VALUE)
        originTs_ = frame_->best_effort_timestamp;

    // A first picture timed by decode times (no presentation time of its own) starts the stream
    // whatever its time says; one with a presentation time after the stream's start means that
    // pictures before it cannot be decoded and the container's count would name too many.
    const bool originAtStart = stream_->start_time == AV_NOPTS_VALUE ||
                               stream_->start_time == originTs_ || frame_->pts == AV_NOPTS_VALUE;
    if (frameExact_ && stream_->nb_frames > 0 && originAtStart) {
        frameCount_ = stream_->nb_frames;
        duration_ = frameCount_ * avgTimePerFrame_;
        // The decoder stands at the start with the first picture in hand: that is where a
        // movie is opened, and often the way to the first request.
        firstPending_ = true;
        return true;
    }
    // The container does not say how many pictures it holds: count them from the packets. Where
    // every packet has a presentation time the last picture's index follows from the latest one;
    // where some have none (decode times only, or times on some pictures only) each packet from
    // the first key frame on carries one picture.
    if (!SeekToStart(0) && !SeekToStart(1) && !SeekToStart(2))
        return false;
    int64_t lastIndex = -1;
    int64_t packets = 0;
    bool keySeen = false;
    RefTime end = 0;
    while (av_read_frame(format_.get(), packet_.get()) >= 0) {
        if (packet_->stream_index == streamIndex_) {
            times_.Record(*packet_);
            keySeen = keySeen || (packet_->flags & AV_PKT_FLAG_KEY);
            if (packet_->pts == AV_NOPTS_VALUE)
                packetWithoutPts_ = true;
            const int64_t ts = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
            if (keySeen && (packet_->pts == AV_NOPTS_VALUE || packet_->pts >= originTs_))
                ++packets;
            if (ts != AV_NOPTS_VALUE && ts >= originTs_) {
                if (Valid(frameRate_) && packet_->pts != AV_NOPTS_VALUE)
                    lastIndex = std::max(lastIndex, IndexOf(ts));
                const int64_t duration = std::max<int64_t>(packet_->duration, 0);
                end = std::max(end, TimeOf(ts + duration));
            }
        }
        av_packet_unref(packet_.get());
    }
    if (packetWithoutPts_)
        lastIndex = std::max(lastIndex, packets - 1);
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

// Forgets the decoder's pictures and the packet read ahead.
void MovieDecoder::Reset() {
    if (codec_)
        avcodec_flush_buffers(codec_.get());
    av_packet_unref(packet_.get());
    packetPending_ = false;
    inputEnded_ = false;
    lastTs_ = AV_NOPTS_VALUE;
    firstPending_ = false;
    times_.Lose();
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
            times_.Recognise(*packet_);
            lastReadDts_ = packet_->dts;
            keyTs = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
            packetPending_ = true;
            found = true;
            return true;
        }
        av_packet_unref(packet_.get());
    }
}

// True when decoding on from where the decoder stands reaches the picture at `position` without
// passing it and without a key frame nearer to it that a seek would start from: the pictures are
// the same either way, and those from the last key frame on are not decoded again. Only streams
// with an index of key frames can tell.
bool MovieDecoder::CanDecodeOnTo(bool frameUnits, int64_t position) const {
    if (inputEnded_ || verifying_ || lastReadDts_ == AV_NOPTS_VALUE || lastTs_ == AV_NOPTS_VALUE)
        return false;
    if (!firstPending_) {
        // Every picture from the target on must still be to come: pictures come out in order.
        if (frameUnits ? IndexOf(lastTs_) >= position
                       : TimeOf(lastTs_) >= position - avgTimePerFrame_ / 2)
            return false;
    }
    const AVRational tb = stream_->time_base;
    const int64_t target = originTs_ + (frameUnits && Valid(frameRate_)
                                            ? av_rescale_q(position, av_inv_q(frameRate_), tb)
                                            : av_rescale_q(position, kRefTimeBase, tb));
    const int key = av_index_search_timestamp(stream_, target, AVSEEK_FLAG_BACKWARD);
    if (key < 0)
        return false;
    const AVIndexEntry* entry = avformat_index_get_entry(stream_, key);
    return entry && (entry->flags & AVINDEX_KEYFRAME) && entry->timestamp <= lastReadDts_;
}

bool MovieDecoder::Seek(bool frameUnits, int64_t position) {
    const StepTimer timer(Step::Seek);
    if (!codec_)
        return false;
    if (CanDecodeOnTo(frameUnits, position)) {
        seekFrameUnits_ = frameUnits;
        seekPosition_ = position;
        skipBefore_ = position;
        return true;
    }
    Reset();
    seekFrameUnits_ = frameUnits;
    seekPosition_ = position;
    skipBefore_ = position;
    backOffs_ = 0;
    atStart_ = false;
    verifying_ = true;
    keyTs_ = AV_NOPTS_VALUE;

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
    // checked, and the search steps further back until it starts early enough. What the key
    // frame's time cannot tell (a decode time before its picture's presentation) the first
    // decoded picture does: see BackOff.
    const int64_t halfFrame = Valid(frameRate_) ? av_rescale_q(1, av_inv_q(frameRate_), tb) / 2 : 0;
    if (position <= 0)
        return SeekStart(acceptable);
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
            if (acceptable(keyTs)) {
                keyTs_ = keyTs;
                return true;
            }
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
    atStart_ = true;
    verifying_ = false;
    keyTs_ = AV_NOPTS_VALUE;
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

// Goes to a key frame whose time lies before `limitTs`, or to the start of the stream.
bool MovieDecoder::SeekKeyBefore(int64_t limitTs) {
    auto anything = [](int64_t) { return true; };
    if (limitTs == AV_NOPTS_VALUE)
        return SeekStart(anything);
    const AVRational tb = stream_->time_base;
    int64_t back = std::max<int64_t>(av_rescale_q(1, AVRational{1, 1}, tb), 1) << backOffs_ / 4;
    int64_t seekTs = limitTs - 1;
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (seekTs <= originTs_ || !SeekDemuxer(seekTs))
            return SeekStart(anything);
        int64_t keyTs = AV_NOPTS_VALUE;
        bool found = false;
        if (!ReadKeyPacket(keyTs, found))
            return false;
        if (found && keyTs != AV_NOPTS_VALUE && keyTs < limitTs) {
            keyTs_ = keyTs;
            return true;
        }
        av_packet_unref(packet_.get());
        packetPending_ = false;
        seekTs -= back;
        back *= 2;
    }
    return SeekStart(anything);
}

// The first picture after a seek could not be placed, or lies after the position asked for: the
// pictures up to that position follow the key frame in decoding order but not in presentation
// (they need pictures before the key frame), or the key frame's time was a decode time. Decoding
// starts again from an earlier key frame. False when there is nothing earlier to go to.
bool MovieDecoder::BackOff() {
    if (atStart_)
        return false;
    Reset();
    if (++backOffs_ > kMaxBackOffs)
        return SeekStart([](int64_t) { return true; });
    const bool ok = SeekKeyBefore(keyTs_);
    verifying_ = !atStart_;
    return ok;
}

bool MovieDecoder::KeyPosition(int64_t& position) const {
    if (atStart_) {
        position = 0;
        return true;
    }
    if (keyTs_ == AV_NOPTS_VALUE)
        return false;
    position = seekFrameUnits_ ? IndexOf(keyTs_) : TimeOf(keyTs_);
    return true;
}

bool MovieDecoder::Beyond(int64_t ts) const {
    if (seekFrameUnits_ && Valid(frameRate_))
        return IndexOf(ts) > seekPosition_;
    return TimeOf(ts) - avgTimePerFrame_ / 2 > seekPosition_;
}

bool MovieDecoder::Skippable(const AVPacket& packet) const {
    if (!nonReferenceSkippable_ || packetWithoutPts_ || packet.pts == AV_NOPTS_VALUE)
        return false;
    // One picture of margin: a picture's own time is never what decides whether it is shown.
    if (seekFrameUnits_ && Valid(frameRate_))
        return IndexOf(packet.pts) < skipBefore_ - 1;
    return TimeOf(packet.pts) < skipBefore_ - std::max<RefTime>(avgTimePerFrame_, 1);
}

PicturePtr MovieDecoder::TakePicture(int64_t index, RefTime time) {
    try {
        auto picture = std::make_shared<DecodedPicture>();
        picture->frame.reset(av_frame_alloc());
        if (!picture->frame)
            return nullptr;
        av_frame_move_ref(picture->frame.get(), frame_.get());
        picture->converter = converter_;
        picture->index = index;
        picture->time = time;
        return picture;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Reads the next packet of the stream into packet_. False at the end of the input (the decoder
// is then told to drain) or on a read error (`error` set).
bool MovieDecoder::ReadPacket(int& error) {
    if (const PacketReadHook hook = packetReadHook.load()) {
        hook(path_);
    }
    for (;;) {
        const int rr = av_read_frame(format_.get(), packet_.get());
        if (rr < 0) {
            if (rr == AVERROR_EOF || !format_->pb || avio_feof(format_->pb)) {
                avcodec_send_packet(codec_.get(), nullptr);
                inputEnded_ = true;
                return false;
            }
            error = kEventStreamErrorStopped;
            return false;
        }
        if (packet_->stream_index == streamIndex_)
            break;
        av_packet_unref(packet_.get());
    }
    times_.Restore(*packet_);
    if (packet_->dts != AV_NOPTS_VALUE)
        lastReadDts_ = packet_->dts;
    if (packet_->pts == AV_NOPTS_VALUE)
        packetWithoutPts_ = true;
    packetPending_ = true;
    return true;
}

MovieDecoder::Result MovieDecoder::Next(int64_t& index, RefTime& time, int32_t& error) {
    const StepTimer timer(Step::Decode);
    if (firstPending_) {
        firstPending_ = false;
        index = IndexOf(lastTs_);
        time = TimeOf(lastTs_);
        return Result::Frame;
    }
    int failures = 0;
    for (;;) {
        const int r = avcodec_receive_frame(codec_.get(), frame_.get());
        if (r >= 0) {
            decoded_.fetch_add(1, std::memory_order_relaxed);
            g_decodedInProcess.fetch_add(1, std::memory_order_relaxed);
            int64_t ts = frame_->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE) {
                // Pictures given out at the end of the stream carry no time; they follow the one
                // before. Only at the start of the stream is the first one known without it.
                const int64_t step = Valid(frameRate_)
                                         ? av_rescale_q(1, av_inv_q(frameRate_), stream_->time_base)
                                         : 1;
                if (lastTs_ != AV_NOPTS_VALUE)
                    ts = lastTs_ + step;
                else if (atStart_)
                    ts = originTs_;
            }
            if (verifying_) {
                if ((ts == AV_NOPTS_VALUE || Beyond(ts)) && BackOff())
                    continue;
                verifying_ = false;
            }
            if (ts == AV_NOPTS_VALUE) {
                av_frame_unref(frame_.get());
                continue;  // nothing to number it by
            }
            lastTs_ = ts;
            index = IndexOf(ts);
            time = TimeOf(ts);
            return Result::Frame;
        }
        if (r == AVERROR_EOF || (r == AVERROR(EAGAIN) && inputEnded_)) {
            // A seek whose key frame gave no picture at all before the end went too far.
            if (verifying_ && BackOff())
                continue;
            return Result::End;
        }
        if (r != AVERROR(EAGAIN)) {
            // A damaged picture costs that picture only; memory exhaustion ends the stream.
            if (r == AVERROR(ENOMEM) || ++failures > 1000) {
                error = kEventErrorAbort;
                return Result::Error;
            }
            continue;
        }
        if (!packetPending_) {
            int readError = 0;
            if (!ReadPacket(readError)) {
                if (readError) {
                    error = readError;
                    return Result::Error;
                }
                continue;
            }
        }
        codec_->skip_frame = Skippable(*packet_) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
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

}  // namespace kelvane

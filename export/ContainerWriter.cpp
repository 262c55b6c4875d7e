#include "export/ContainerWriter.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>

#include "export/ContainerEncoder.h"
#include "export/audio/SoundEncoder.h"
#include "platform/SystemErrorText.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/rational.h>
}

namespace kelvane {

namespace {

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The AVI INFO ids that the export sets, by the names the other muxers know.
const char* MetadataKeyOf(const std::string& infoId) {
    if (infoId == "ICMT") {
        return "comment";
    }
    if (infoId == "INAM") {
        return "title";
    }
    return nullptr;
}

}  // namespace

ContainerWriter::ContainerWriter(const OutputContainer& container, const CompressorInfo& codec,
                                 int quality)
    : container_(container), codec_(codec), quality_(quality) {}

ContainerWriter::~ContainerWriter() {
    Close();
}

bool ContainerWriter::Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
                           uint32_t scale) {
    if (format_ || !ValidFrameInput(input) || rate == 0 || rate > uint32_t(INT32_MAX) ||
        scale > uint32_t(INT32_MAX)) {
        return false;
    }
    failure_ = FailureNote{};
    framesKept_ = -1;
    writeError_ = 0;
    nextIndex_ = 0;
    if (!OpenFile(input, path, rate, scale)) {
        RecordFailure();
        return false;
    }
    return true;
}

bool ContainerWriter::OpenFile(const BitmapInfoHeader& input, const std::string& path,
                               uint32_t rate, uint32_t scale) {
    width_ = input.width;
    height_ = input.height;
    path_ = path;
    AVRational frameRate{1, 1};
    av_reduce(&frameRate.num, &frameRate.den, rate, scale == 0 ? 1 : scale, INT_MAX);

    AVFormatContext* raw = nullptr;
    const std::string muxer(container_.muxer);
    if (avformat_alloc_output_context2(&raw, nullptr, muxer.c_str(), path.c_str()) < 0 ||
        raw == nullptr) {
        return false;
    }
    format_.reset(raw);
    // The encoder comes before the file, so that a codec that refuses the format leaves none.
    encoder_ = OpenContainerEncoder(codec_, quality_, width_, height_, frameRate,
                                    (raw->oformat->flags & AVFMT_GLOBALHEADER) != 0);
    packet_.reset(av_packet_alloc());
    if (!encoder_ || !packet_ || !OpenConverter()) {
        format_.reset();
        return false;
    }
    for (const auto& [id, text] : info_) {
        if (const char* key = MetadataKeyOf(id)) {
            av_dict_set(&raw->metadata, key, text.c_str(), 0);
        }
    }
    stream_ = avformat_new_stream(raw, nullptr);
    if (stream_ == nullptr ||
        avcodec_parameters_from_context(stream_->codecpar, encoder_.get()) < 0) {
        format_.reset();
        return false;
    }
    stream_->time_base = encoder_->time_base;
    stream_->avg_frame_rate = frameRate;
    stream_->r_frame_rate = frameRate;
    if (soundCodec_ != nullptr) {
        sound_ = std::make_unique<SoundEncoder>();
        if (!sound_->Open(raw, *soundCodec_)) {
            sound_.reset();
            format_.reset();
            return false;
        }
        if (container_.muxer == "mp4" || container_.muxer == "mov") {
            sound_->DropPriming();
        }
    }

    if (const int opened = avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE); opened < 0) {
        writeError_ = AVUNERROR(opened);
        format_.reset();
        return false;
    }
    av::Dictionary options;
    if (container_.muxer == "mp4" || container_.muxer == "mov") {
        // Fragments complete in themselves, ended where WritePendingPackets says: the file
        // plays up to the last one written however the writer ends.
        options.Set("movflags", "frag_custom+empty_moov+default_base_moof");
    }
    // A fragment or cluster holds at least a second.
    fragmentMinPackets_ = std::max<int64_t>(1, av_rescale(1, frameRate.num, frameRate.den));
    // The header reaches the file before the first frame: a cut goes back to it at worst.
    const bool headerWritten = avformat_write_header(raw, options.Address()) >= 0;
    if (headerWritten) {
        avio_flush(raw->pb);
    }
    int error = 0;
    if (!headerWritten || raw->pb->error < 0 ||
        !cut_.Start(path, uint64_t(avio_tell(raw->pb)), error)) {
        if (raw->pb->error < 0) {
            writeError_ = AVUNERROR(raw->pb->error);
        } else if (error != 0) {
            writeError_ = error;
        }
        format_.reset();
        std::remove(path.c_str());
        return false;
    }
    headerWritten_ = true;
    writeFailed_ = false;
    packetsMuxed_ = 0;
    fragmentStart_ = 0;
    framesKept_ = -1;
    return true;
}

bool ContainerWriter::OpenConverter() {
    const AVPixelFormat target = encoder_->pix_fmt;
    const int flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_BITEXACT;
    // Our frames are BGR with an unused fourth byte; it is never read as alpha.
    convert_.reset(sws_getContext(width_, height_, AV_PIX_FMT_BGR0, width_, height_, target, flags,
                                  nullptr, nullptr, nullptr));
    if (!convert_) {
        return false;
    }
    if (encoder_->color_range == AVCOL_RANGE_MPEG) {
        // Studio range with the coefficients that the stream declares.
        const int* coefs = sws_getCoefficients(
            encoder_->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
        sws_setColorspaceDetails(convert_.get(), coefs, 1, coefs, 0, 0, 1 << 16, 1 << 16);
    }
    frame_.reset(av_frame_alloc());
    if (!frame_) {
        return false;
    }
    frame_->format = target;
    frame_->width = width_;
    frame_->height = height_;
    frame_->color_range = encoder_->color_range;
    frame_->colorspace = encoder_->colorspace;
    frame_->color_primaries = encoder_->color_primaries;
    frame_->color_trc = encoder_->color_trc;
    return av_frame_get_buffer(frame_.get(), 0) >= 0;
}

bool ContainerWriter::WriteFrame(const void* pixels, size_t size, uint32_t index,
                                 FrameSound sound) {
    if (!headerWritten_ || pixels == nullptr || size != size_t(width_) * 4 * size_t(height_) ||
        index < nextIndex_ || index > uint32_t(INT32_MAX)) {
        return false;
    }
    if (!Encode(static_cast<const uint8_t*>(pixels), index, sound)) {
        RecordFailure();
        return false;
    }
    nextIndex_ = index + 1;
    return true;
}

bool ContainerWriter::Encode(const uint8_t* pixels, uint32_t index, FrameSound sound) {
    if (writeFailed_) {
        return false;
    }
    AVFrame* frame = frame_.get();
    // The encoder may still hold the previous frame's buffer.
    if (av_frame_make_writable(frame) < 0) {
        return false;
    }
    // The rows are bottom-up: start at the top row, the last in memory, and step backwards.
    const int pitch = int(PixelImage::PitchFor(width_, 32));
    const uint8_t* src[4] = {pixels + size_t(height_ - 1) * size_t(pitch), nullptr, nullptr,
                             nullptr};
    const int srcStride[4] = {-pitch, 0, 0, 0};
    if (sws_scale(convert_.get(), src, srcStride, 0, height_, frame->data, frame->linesize) !=
        height_) {
        return false;
    }
    frame->pts = index;
    if (avcodec_send_frame(encoder_.get(), frame) < 0) {
        return false;
    }
    lastEncodeEndNs_ = SteadyNs();
    if (!WritePendingPackets()) {
        return false;
    }
    return !sound_ || sound_->Encode(sound.samples, sound.count,
                                     [this](AVPacket* pkt) { return WritePacket(pkt); });
}

// With sound the muxer interleaves the two streams; a file of pictures alone is written packet
// by packet as it always was.
bool ContainerWriter::WritePacket(AVPacket* pkt) {
    const int written = sound_ ? av_interleaved_write_frame(format_.get(), pkt)
                               : av_write_frame(format_.get(), pkt);
    return NoteWriteFailure(written);
}

bool ContainerWriter::WritePendingPackets() {
    AVPacket* pkt = packet_.get();
    for (;;) {
        const int got = avcodec_receive_packet(encoder_.get(), pkt);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            break;
        }
        if (got < 0) {
            return false;
        }
        pkt->stream_index = 0;
        if (pkt->duration == 0) {
            pkt->duration = 1;
        }
        // A second's worth of frames ends a fragment. The encoders show no frame before one
        // decoded after it, so every frame before the end is complete in the file and a cut
        // there keeps the frames from the first on, none missing.
        if (packetsMuxed_ - fragmentStart_ >= fragmentMinPackets_ && !EndFragment()) {
            av_packet_unref(pkt);
            return false;
        }
        av_packet_rescale_ts(pkt, encoder_->time_base, stream_->time_base);
        const bool written = WritePacket(pkt);
        av_packet_unref(pkt);
        if (!written) {
            return false;
        }
        ++packetsMuxed_;
    }
    // A failed write (a full disk) shows only in the I/O context.
    return NoteWriteFailure(0);
}

bool ContainerWriter::NoteWriteFailure(int result) {
    if (result >= 0 && format_->pb->error >= 0) {
        return true;
    }
    writeFailed_ = true;
    writeError_ = format_->pb->error < 0 ? AVUNERROR(format_->pb->error) : AVUNERROR(result);
    return false;
}

bool ContainerWriter::EndFragment() {
    if (packetsMuxed_ == fragmentStart_) {
        return true;
    }
    // The packets that the interleaving holds back belong to frames before the cut: they go
    // out first. Then the muxers that take a flush write out the fragment or cluster whole.
    if (sound_ && !NoteWriteFailure(av_interleaved_write_frame(format_.get(), nullptr))) {
        return false;
    }
    const int ended = av_write_frame(format_.get(), nullptr);
    avio_flush(format_->pb);
    if (!NoteWriteFailure(ended)) {
        return false;
    }
    cut_.Mark(uint64_t(avio_tell(format_->pb)), packetsMuxed_);
    fragmentStart_ = packetsMuxed_;
    return true;
}

void ContainerWriter::RecordFailure() {
    if (writeError_ != 0) {
        failure_.path = path_;
        failure_.reason = SystemErrorText(writeError_, path_);
    }
}

void ContainerWriter::Close() {
    if (!format_) {
        return;
    }
    const int64_t kept = Finish();
    // The ending may meet the full disk too.
    RecordFailure();
    if (failure_.reason.empty() || kept < 0) {
        return;  // a file cut short that could not be finished: how much of it reads is not known
    }
    framesKept_ = kept;
    failure_.reason += kept == 0 ? "フレームが一つも入らなかったため、ファイルを削除しました。"
                                 : "書き出したファイルには先頭の " + std::to_string(kept) +
                                       " フレームが入っています。";
}

int64_t ContainerWriter::Finish() {
    int64_t kept = -1;
    if (headerWritten_) {
        // Frames still inside the encoder were written by the export: they go into the file.
        if (!writeFailed_ && avcodec_send_frame(encoder_.get(), nullptr) >= 0) {
            WritePendingPackets();
        }
        // The sound still inside its encoder belongs to frames written: it goes in before the
        // last fragment ends.
        if (!writeFailed_ && sound_) {
            sound_->Finish([this](AVPacket* pkt) { return WritePacket(pkt); });
        }
        // The last fragment goes out on its own, so that a trailer that finds no room costs
        // no frame.
        if (!writeFailed_ && EndFragment()) {
            const int finished = av_write_trailer(format_.get());
            avio_flush(format_->pb);
            NoteWriteFailure(finished);
        }
        headerWritten_ = false;
        if (writeFailed_) {
            // The muxer is let go without writing more: it counts the part that failed as
            // written. What reached the file is cut back to the last whole fragment.
            if (format_->pb->error >= 0) {
                format_->pb->error = AVERROR(EIO);
            }
            format_.reset();
            int error = 0;
            kept = cut_.CutBack(path_, error);
            if (kept == 0) {
                // A header without a frame is a file that no decoder reads.
                std::remove(path_.c_str());
            }
        } else {
            kept = packetsMuxed_;
        }
    }
    format_.reset();
    encoder_.reset();
    convert_.reset();
    frame_.reset();
    sound_.reset();
    return kept;
}

}  // namespace kelvane

#include "export/AviWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "export/AviCutEnd.h"
#include "export/AviMuxer.h"
#include "export/FileSink.h"
#include "export/OpaqueCopy.h"
#include "export/OutputChoice.h"
#include "export/audio/SoundEncoder.h"
#include "media/FfmpegHandles.h"
#include "platform/SystemErrorText.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/rational.h>
}

namespace kelvane {

// The FFmpeg side of an open file: the muxer with its file and, when compressing, the encoder,
// the pixel converter and the frame they share.
struct AviWriter::Output {
    FileSink file;  // declared first: closed after the muxer is released
    av::OutputContextPtr format;
    AVStream* stream = nullptr;  // owned by format
    av::CodecContextPtr encoder;
    av::SwsPtr convert;
    av::FramePtr frame;
    av::PacketPtr packet;
    // Uncompressed output: the frame as it goes to the file, with its fourth bytes set.
    PageAlignedBytes opaque;
    bool headerWritten = false;
    // What finishing a file cut short needs: the setup the muxer was made with, where the headers
    // ended and every packet that reached the file.
    std::string path;
    std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> params{
        nullptr, [](AVCodecParameters* p) { avcodec_parameters_free(&p); }};
    uint32_t rate = 0;
    uint32_t scale = 1;
    uint64_t headerEnd = 0;
    std::vector<AviPacketRecord> packets;
    bool writeFailed = false;
    std::unique_ptr<SoundEncoder> sound;
    std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)> soundParams{
        nullptr, [](AVCodecParameters* p) { avcodec_parameters_free(&p); }};
};

namespace {

// The pixel format to feed an encoder. Lossy encoders get the 4:2:0 layout that every player
// decodes; lossless ones the format that holds our pixels without any loss.
AVPixelFormat EncoderPixelFormat(const AVCodec* codec) {
    const std::string_view name = codec->name;
    if (name == "mjpeg") {
        return AV_PIX_FMT_YUVJ420P;
    }
    if (name == "mpeg4" || name == "libx264") {
        return AV_PIX_FMT_YUV420P;
    }
    if (codec->pix_fmts == nullptr) {
        return AV_PIX_FMT_NONE;
    }
    // Asked for with three components: the fourth byte is no alpha.
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

AviWriter::AviWriter() = default;

AviWriter::~AviWriter() {
    Release();
}

bool AviWriter::ChooseCompressor(CompressorChooser& chooser) {
    if (streamOpen_) {
        return false;
    }
    OutputChoice choice;
    const bool chosen = ChooseOutput(chooser, nullptr, choice);
    compressor_ = choice.compressor;
    if (chosen) {
        quality_ = choice.quality;
    }
    return chosen;
}

void AviWriter::UseCompressor(const CompressorInfo* compressor, int quality) {
    if (!streamOpen_) {
        compressor_ = compressor;
        quality_ = std::clamp(quality, -1, 100);
    }
}

bool AviWriter::Open(const BitmapInfoHeader& input, const std::string& path, uint32_t rate,
                     uint32_t scale) {
    if (!initialised_ || out_ != nullptr || !ValidFrameInput(input) || rate == 0 ||
        rate > uint32_t(INT32_MAX) || scale > uint32_t(INT32_MAX)) {
        return false;
    }
    if (scale == 0) {
        scale = 1;
    }
    input_ = input;
    input_.sizeImage = uint32_t(input.width) * 4 * uint32_t(input.height);
    nextIndex_ = 0;
    failure_ = FailureNote{};
    framesKept_ = -1;
    out_ = std::make_unique<Output>();
    out_->path = path;
    out_->rate = rate;
    out_->scale = scale;
    out_->packet.reset(av_packet_alloc());
    if (!out_->packet) {
        return false;
    }

    // The encoder comes first, so that a compressor that refuses the format leaves no file.
    if (compressor_ != nullptr && !OpenEncoder(rate, scale)) {
        return false;
    }
    if (compressor_ == nullptr && !out_->opaque.Allocate(input_.sizeImage)) {
        return false;
    }

    out_->params.reset(avcodec_parameters_alloc());
    if (!out_->params) {
        return false;
    }
    if (out_->encoder) {
        if (avcodec_parameters_from_context(out_->params.get(), out_->encoder.get()) < 0) {
            return false;
        }
        // Encoders that tell their variant by the tag (Ut Video's ULRG against ULRA) set it;
        // for the others the muxer takes its usual tag for the codec.
    } else {
        AVCodecParameters* par = out_->params.get();
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0;  // BI_RGB
        par->format = AV_PIX_FMT_BGRA;
        par->bits_per_coded_sample = 32;
        par->width = input_.width;
        par->height = input_.height;
    }
    out_->format = NewAviMuxer(MuxerSetup(), path);
    if (!out_->format) {
        return false;
    }
    AVFormatContext* raw = out_->format.get();
    out_->stream = raw->streams[0];
    if (soundCodec_ != nullptr) {
        out_->sound = std::make_unique<SoundEncoder>();
        out_->soundParams.reset(avcodec_parameters_alloc());
        if (!out_->soundParams || !out_->sound->Open(raw, *soundCodec_) ||
            avcodec_parameters_copy(out_->soundParams.get(), out_->sound->Parameters()) < 0) {
            return false;
        }
    }

    // A frame's bytes go to the file in one write from where they lie.
    if (!out_->file.Open(path)) {
        RecordFailure(errno);
        return false;
    }
    raw->pb = out_->file.Context();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    av::Dictionary options;
    SetAviHeaderOptions(options);
    if (avformat_write_header(raw, options.Address()) < 0 || !Flushed()) {
        // A file without valid headers is of no use to anyone.
        if (raw->pb->error < 0) {
            RecordFailure(AVUNERROR(raw->pb->error));
        }
        out_.reset();
        std::remove(path.c_str());
        return false;
    }
    out_->headerEnd = uint64_t(avio_tell(raw->pb));
    out_->headerWritten = true;
    streamOpen_ = true;
    return true;
}

bool AviWriter::OpenEncoder(uint32_t rate, uint32_t scale) {
    const AVCodec* codec = avcodec_find_encoder_by_name(compressor_->encoder.c_str());
    if (codec == nullptr) {
        return false;
    }
    // x264 takes 4:2:0 frames of even size only, and its refusal leaks; ask first.
    if (std::string_view(codec->name) == "libx264" &&
        (input_.width % 2 != 0 || input_.height % 2 != 0)) {
        return false;
    }
    const AVPixelFormat pixFmt = EncoderPixelFormat(codec);
    if (pixFmt == AV_PIX_FMT_NONE) {
        return false;
    }
    out_->encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* enc = out_->encoder.get();
    if (enc == nullptr) {
        return false;
    }
    enc->width = input_.width;
    enc->height = input_.height;
    enc->pix_fmt = pixFmt;
    enc->sample_aspect_ratio = AVRational{1, 1};
    // One tick per frame, as in the stream; MPEG-4 part 2 allows denominators up to 65535 only,
    // and a tick stays one frame either way.
    int num = 1;
    int den = 1;
    av_reduce(&num, &den, scale, rate, 65535);
    enc->time_base = AVRational{num, den};
    enc->framerate = AVRational{den, num};
    // Every frame is a key frame, so that each one decodes on its own and a file that ends early
    // holds every frame handed in; no frame waits inside the encoder for a later one.
    enc->gop_size = 1;
    enc->max_b_frames = 0;
    // Slices only: frame threads would hold frames back.
    enc->thread_type = FF_THREAD_SLICE;
    enc->thread_count = 0;
    if (pixFmt == AV_PIX_FMT_YUVJ420P) {
        enc->color_range = AVCOL_RANGE_JPEG;
    } else if (pixFmt == AV_PIX_FMT_YUV420P) {
        enc->color_range = AVCOL_RANGE_MPEG;
        enc->colorspace = AVCOL_SPC_SMPTE170M;
    }
    av::Dictionary options;
    const std::string_view name = codec->name;
    if (name == "mjpeg" || name == "mpeg4") {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        // Quality 100 is the finest quantiser 2, quality 0 the coarsest 31.
        const int qscale = quality_ < 0 ? 2 : 2 + (100 - quality_) * 29 / 100;
        enc->global_quality = FF_QP2LAMBDA * qscale;
    } else if (name == "libx264") {
        // Quality 100 is constant rate factor 18 (visually lossless), quality 0 is 51.
        const int crf = quality_ < 0 ? 18 : 51 - quality_ * 33 / 100;
        options.Set("crf", std::to_string(crf).c_str());
        options.Set("tune", "zerolatency");
        options.Set("forced-idr", "1");
    }
    if (avcodec_open2(enc, codec, options.Address()) < 0) {
        return false;
    }

    // Our frames are BGR with an unused fourth byte; the fourth byte is never read as alpha.
    const int flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_BITEXACT;
    out_->convert.reset(sws_getContext(input_.width, input_.height, AV_PIX_FMT_BGR0, input_.width,
                                       input_.height, pixFmt, flags, nullptr, nullptr, nullptr));
    if (!out_->convert) {
        return false;
    }
    if (pixFmt == AV_PIX_FMT_YUV420P) {
        // Studio range BT.601, as the codec context declares.
        const int* coefs = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(out_->convert.get(), coefs, 1, coefs, 0, 0, 1 << 16, 1 << 16);
    }
    out_->frame.reset(av_frame_alloc());
    if (!out_->frame) {
        return false;
    }
    out_->frame->format = pixFmt;
    out_->frame->width = input_.width;
    out_->frame->height = input_.height;
    out_->frame->color_range = enc->color_range;
    out_->frame->colorspace = enc->colorspace;
    return av_frame_get_buffer(out_->frame.get(), 0) >= 0;
}

bool AviWriter::WriteFrame(const void* pixels, size_t size, const void* /*previous*/,
                           uint32_t index, FrameSound sound) {
    if (!streamOpen_ || pixels == nullptr || size != input_.sizeImage || index < nextIndex_ ||
        index > uint32_t(INT32_MAX)) {
        return false;
    }
    bool ok;
    if (out_->encoder) {
        ok = WriteEncoded(static_cast<const uint8_t*>(pixels), index);
    } else {
        // Other tools read the fourth byte as alpha: the file gets it opaque, the frame handed in
        // stays as it is. This copy is the only one on the way to the file.
        CopyOpaque(static_cast<const uint8_t*>(pixels), out_->opaque.Data(), size);
        lastEncodeEndNs_ = SteadyNs();
        AVPacket* pkt = out_->packet.get();
        av_packet_unref(pkt);
        // The muxer writes the bytes into the file before it returns.
        pkt->data = out_->opaque.Data();
        pkt->size = int(size);
        pkt->pts = pkt->dts = index;
        pkt->duration = 1;
        pkt->stream_index = 0;
        pkt->flags = AV_PKT_FLAG_KEY;
        ok = WritePacket(pkt);
        pkt->data = nullptr;
        pkt->size = 0;
    }
    // The frame's sound follows it, as one chunk.
    if (ok && out_->sound) {
        ok = out_->sound->Encode(sound.samples, sound.count,
                                 [this](AVPacket* pkt) { return WritePacket(pkt); });
    }
    if (ok) {
        nextIndex_ = index + 1;
    }
    return ok;
}

bool AviWriter::WritePacket(AVPacket* pkt) {
    if (out_->writeFailed) {
        return false;
    }
    const AviPacketRecord record{pkt->pts, pkt->dts,          uint32_t(pkt->size), pkt->flags,
                                 0,        pkt->stream_index, pkt->duration};
    if (av_write_frame(out_->format.get(), pkt) < 0 || !Flushed()) {
        out_->writeFailed = true;
        const int error = out_->format->pb->error;
        RecordFailure(error < 0 ? AVUNERROR(error) : EIO);
        return false;
    }
    try {
        out_->packets.push_back(record);
    } catch (const std::bad_alloc&) {
        out_->writeFailed = true;
        RecordFailure(ENOMEM);
        return false;
    }
    out_->packets.back().end = uint64_t(avio_tell(out_->format->pb));
    return true;
}

AviMuxerSetup AviWriter::MuxerSetup() const {
    return AviMuxerSetup{out_->params.get(), out_->rate, out_->scale, info_,
                         out_->soundParams.get()};
}

void AviWriter::RecordFailure(int errorNumber) {
    failure_.path = out_ != nullptr ? out_->path : std::string();
    failure_.reason = SystemErrorText(errorNumber, failure_.path);
}

bool AviWriter::WriteEncoded(const uint8_t* pixels, uint32_t index) {
    AVFrame* frame = out_->frame.get();
    // The encoder may still hold the previous frame's buffer.
    if (av_frame_make_writable(frame) < 0) {
        return false;
    }
    // The rows are bottom-up: start at the top row, the last in memory, and step backwards.
    const int pitch = int(PixelImage::PitchFor(input_.width, 32));
    const uint8_t* src[4] = {pixels + size_t(input_.height - 1) * size_t(pitch), nullptr, nullptr,
                             nullptr};
    const int srcStride[4] = {-pitch, 0, 0, 0};
    if (sws_scale(out_->convert.get(), src, srcStride, 0, input_.height, frame->data,
                  frame->linesize) != input_.height) {
        return false;
    }
    frame->pts = index;
    // A fixed quantiser is taken from each frame, not from the context.
    frame->quality = out_->encoder->global_quality;
    if (avcodec_send_frame(out_->encoder.get(), frame) < 0) {
        return false;
    }
    // Intra-only encoders without frame threads have encoded the frame by now.
    lastEncodeEndNs_ = SteadyNs();
    return WritePendingPackets();
}

bool AviWriter::WritePendingPackets() {
    AVPacket* pkt = out_->packet.get();
    for (;;) {
        const int got = avcodec_receive_packet(out_->encoder.get(), pkt);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            return true;
        }
        if (got < 0) {
            return false;
        }
        // The encoder counts in frames, as the stream does.
        pkt->stream_index = 0;
        pkt->duration = 1;
        if (pkt->dts == AV_NOPTS_VALUE) {
            pkt->dts = pkt->pts;
        }
        const bool written = WritePacket(pkt);
        av_packet_unref(pkt);
        if (!written) {
            return false;
        }
    }
}

bool AviWriter::Flushed() {
    // The muxer buffers what it writes and reports a failed write (a full disk) only through the
    // I/O context; a frame counts as written once it has reached the file.
    AVIOContext* pb = out_->format->pb;
    avio_flush(pb);
    return pb->error >= 0;
}

void AviWriter::Close() {
    if (!initialised_) {
        return;
    }
    Release();
}

void AviWriter::Release() {
    if (out_ != nullptr) {
        if (out_->headerWritten) {
            if (!out_->writeFailed && out_->encoder &&
                avcodec_send_frame(out_->encoder.get(), nullptr) >= 0) {
                WritePendingPackets();
            }
            if (!out_->writeFailed && out_->sound) {
                out_->sound->Finish([this](AVPacket* pkt) { return WritePacket(pkt); });
            }
            // The trailer writes the index and the frame counts; without it the file is not valid.
            if (!out_->writeFailed && (av_write_trailer(out_->format.get()) < 0 || !Flushed())) {
                out_->writeFailed = true;
                const int error = out_->format->pb->error;
                RecordFailure(error < 0 ? AVUNERROR(error) : EIO);
            }
            if (out_->writeFailed) {
                FinishCutFile();
            }
        }
        out_.reset();
    }
    compressor_ = nullptr;
    info_.clear();
    soundCodec_ = nullptr;
    quality_ = -1;
    initialised_ = false;
    streamOpen_ = false;
    nextIndex_ = 0;
}

void AviWriter::FinishCutFile() {
    // The muxer's own idea of the file includes the packet that failed: it is let go without
    // writing anything more, and the file is finished after the last packet that reached it.
    out_->format->pb = nullptr;
    out_->file.Close();
    // A frame whose sound did not follow it is not complete: the file ends with the frame
    // before, so that its sound reaches exactly as far as its pictures.
    if (out_->sound && !out_->packets.empty() && out_->packets.back().stream == 0) {
        out_->packets.pop_back();
    }
    // The reason reported stays the one that stopped the writing, whatever finishing meets.
    int error = 0;
    NoteFramesKept(FinishCutAvi(out_->path, MuxerSetup(), out_->headerEnd, out_->packets, error));
}

void AviWriter::NoteFramesKept(int64_t frames) {
    if (frames < 0) {
        return;  // the file could not be finished: how much of it reads is not known
    }
    framesKept_ = frames;
    failure_.reason +=
        "書き出したファイルには先頭の " + std::to_string(frames) + " フレームが入っています。";
}

}  // namespace kelvane

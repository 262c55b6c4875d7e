#include "export/audio/SoundEncoder.h"

#include <algorithm>
#include <cmath>

#include "media/audio/SoundFormat.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace kelvane {

namespace {

AVSampleFormat ChooseFormat(const AVCodec* codec) {
    const AVSampleFormat* formats = codec->sample_fmts;
    if (formats == nullptr) {
        return AV_SAMPLE_FMT_S16;
    }
    // Float where the codec takes it; otherwise 16 bits, as PCM and FLAC store them.
    for (const AVSampleFormat wanted :
         {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P}) {
        for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f) {
            if (*f == wanted) {
                return wanted;
            }
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

int16_t ToS16(float v) {
    return int16_t(std::clamp(std::lrint(double(v) * 32768.0), -32768L, 32767L));
}

}  // namespace

SoundEncoder::~SoundEncoder() = default;

bool SoundEncoder::Open(AVFormatContext* format, const SoundCodec& codec) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(codec.encoder.c_str());
    if (encoder == nullptr) {
        return false;
    }
    const AVSampleFormat sampleFormat = ChooseFormat(encoder);
    encoder_.reset(avcodec_alloc_context3(encoder));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!encoder_ || !frame_ || !packet_ || sampleFormat == AV_SAMPLE_FMT_NONE) {
        return false;
    }
    AVCodecContext* enc = encoder_.get();
    enc->sample_rate = kSoundRate;
    enc->sample_fmt = sampleFormat;
    av_channel_layout_default(&enc->ch_layout, kSoundChannels);
    enc->time_base = AVRational{1, kSoundRate};
    if (codec.bitRate > 0) {
        enc->bit_rate = codec.bitRate;
    }
    if (format->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    enc->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(enc, encoder, nullptr) < 0) {
        return false;
    }
    stream_ = avformat_new_stream(format, nullptr);
    if (stream_ == nullptr || avcodec_parameters_from_context(stream_->codecpar, enc) < 0) {
        return false;
    }
    stream_->time_base = enc->time_base;
    streamIndex_ = stream_->index;
    timeBase_ = enc->time_base;
    return true;
}

const AVCodecParameters* SoundEncoder::Parameters() const {
    return stream_ != nullptr ? stream_->codecpar : nullptr;
}

bool SoundEncoder::Encode(const float* samples, int64_t count, const PacketWriter& write) {
    if (!encoder_ || finished_ || count < 0) {
        return false;
    }
    pending_.insert(pending_.end(), samples, samples + count * kSoundChannels);
    const int frameSize = encoder_->frame_size;
    if (frameSize <= 0) {
        // Any size goes: the samples of each call make one packet.
        return pending_.empty() || SendFrame(int(pending_.size() / kSoundChannels), write);
    }
    while (pending_.size() >= size_t(frameSize) * kSoundChannels) {
        if (!SendFrame(frameSize, write)) {
            return false;
        }
    }
    return true;
}

bool SoundEncoder::SendFrame(int samples, const PacketWriter& write) {
    AVFrame* frame = frame_.get();
    av_frame_unref(frame);
    frame->nb_samples = samples;
    frame->format = encoder_->sample_fmt;
    frame->sample_rate = kSoundRate;
    if (av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout) < 0 ||
        av_frame_get_buffer(frame, 0) < 0) {
        return false;
    }
    const float* in = pending_.data();
    switch (encoder_->sample_fmt) {
        case AV_SAMPLE_FMT_FLTP:
            for (int c = 0; c < kSoundChannels; ++c) {
                float* out = reinterpret_cast<float*>(frame->extended_data[c]);
                for (int i = 0; i < samples; ++i) {
                    out[i] = std::clamp(in[i * kSoundChannels + c], -1.0f, 1.0f);
                }
            }
            break;
        case AV_SAMPLE_FMT_FLT: {
            float* out = reinterpret_cast<float*>(frame->data[0]);
            for (int i = 0; i < samples * kSoundChannels; ++i) {
                out[i] = std::clamp(in[i], -1.0f, 1.0f);
            }
            break;
        }
        case AV_SAMPLE_FMT_S16: {
            int16_t* out = reinterpret_cast<int16_t*>(frame->data[0]);
            for (int i = 0; i < samples * kSoundChannels; ++i) {
                out[i] = ToS16(in[i]);
            }
            break;
        }
        case AV_SAMPLE_FMT_S16P:
            for (int c = 0; c < kSoundChannels; ++c) {
                int16_t* out = reinterpret_cast<int16_t*>(frame->extended_data[c]);
                for (int i = 0; i < samples; ++i) {
                    out[i] = ToS16(in[i * kSoundChannels + c]);
                }
            }
            break;
        default:
            return false;
    }
    pending_.erase(pending_.begin(), pending_.begin() + ptrdiff_t(samples) * kSoundChannels);
    frame->pts = nextPts_;
    nextPts_ += samples;
    if (avcodec_send_frame(encoder_.get(), frame) < 0) {
        return false;
    }
    return Drain(write);
}

bool SoundEncoder::Drain(const PacketWriter& write) {
    AVPacket* pkt = packet_.get();
    for (;;) {
        const int got = avcodec_receive_packet(encoder_.get(), pkt);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            return true;
        }
        if (got < 0) {
            return false;
        }
        if (dropPriming_ && pkt->pts != AV_NOPTS_VALUE && pkt->pts + pkt->duration <= 0) {
            av_packet_unref(pkt);
            continue;
        }
        pkt->stream_index = streamIndex_;
        av_packet_rescale_ts(pkt, encoder_->time_base, stream_->time_base);
        const bool ok = write(pkt);
        av_packet_unref(pkt);
        if (!ok) {
            return false;
        }
    }
}

bool SoundEncoder::Finish(const PacketWriter& write) {
    if (!encoder_ || finished_) {
        return true;
    }
    finished_ = true;
    if (!pending_.empty() && !SendFrame(int(pending_.size() / kSoundChannels), write)) {
        return false;
    }
    if (avcodec_send_frame(encoder_.get(), nullptr) < 0) {
        return false;
    }
    return Drain(write);
}

}  // namespace kelvane

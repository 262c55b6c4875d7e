#include "media/audio/SoundClip.h"

#include <sys/stat.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "media/FfmpegHandles.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace kelvane {

namespace {

// What Decode says of a file without an audio stream; Load remembers such files.
constexpr const char* kNoSoundReason = "音声がありません。";

struct SwrDeleter {
    void operator()(SwrContext* p) const { swr_free(&p); }
};
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;

// Where source time 0 lies in the stream's units: the first picture when there is one, since
// picture frame numbers count from it; otherwise the sound's own start.
double OriginSeconds(const AVFormatContext& format, int videoIndex, const AVStream& audio) {
    if (videoIndex >= 0) {
        const AVStream& video = *format.streams[videoIndex];
        if (video.start_time != AV_NOPTS_VALUE) {
            return double(video.start_time) * av_q2d(video.time_base);
        }
        return 0.0;
    }
    return audio.start_time != AV_NOPTS_VALUE ? double(audio.start_time) * av_q2d(audio.time_base)
                                              : 0.0;
}

// Collects the resampler's output, mono copied to both channels at full level.
class StereoSink {
  public:
    StereoSink(std::vector<float>& out, int channels) : out_(out), channels_(channels) {}

    // Skips (negative) or pads with silence (positive) before the first sample.
    void SetLead(int64_t lead) { lead_ = lead; }

    void Append(const float* data, int count) {
        int from = 0;
        if (lead_ < 0) {
            from = int(std::min<int64_t>(-lead_, count));
            lead_ += from;
        } else if (lead_ > 0) {
            out_.resize(out_.size() + size_t(lead_) * kSoundChannels, 0.0f);
            lead_ = 0;
        }
        for (int i = from; i < count; ++i) {
            if (channels_ == 1) {
                out_.push_back(data[i]);
                out_.push_back(data[i]);
            } else {
                out_.push_back(data[2 * i]);
                out_.push_back(data[2 * i + 1]);
            }
        }
    }

  private:
    std::vector<float>& out_;
    int channels_;
    int64_t lead_ = 0;
};

}  // namespace

std::shared_ptr<const SoundClip> SoundClip::FromSamples(std::vector<float> interleaved) {
    auto clip = std::shared_ptr<SoundClip>(new SoundClip());
    clip->samples_ = std::move(interleaved);
    clip->samples_.resize(clip->samples_.size() / kSoundChannels * kSoundChannels);
    return clip;
}

std::shared_ptr<const SoundClip> SoundClip::Decode(const std::string& nativePath,
                                                   std::string& reason, bool* hasPicture) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, nativePath.c_str(), nullptr, nullptr) < 0) {
        reason = "ファイルを開けません。";
        return nullptr;
    }
    av::InputContextPtr format(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        reason = "ファイルの形式を読み取れません。";
        return nullptr;
    }
    int videoIndex = -1;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream* s = raw->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            videoIndex = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            break;
        }
    }
    if (hasPicture != nullptr) {
        *hasPicture = videoIndex >= 0;
    }
    const AVCodec* codec = nullptr;
    const int audioIndex = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (audioIndex < 0 || codec == nullptr) {
        reason = kNoSoundReason;
        return nullptr;
    }
    AVStream* stream = raw->streams[audioIndex];
    av::CodecContextPtr decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        reason = "音声をデコードできません。";
        return nullptr;
    }
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        raw->streams[i]->discard = int(i) == audioIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }

    AVChannelLayout inLayout{};
    if (decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        decoder->ch_layout.nb_channels <= 0 || av_channel_layout_check(&decoder->ch_layout) == 0) {
        av_channel_layout_default(&inLayout, std::max(decoder->ch_layout.nb_channels, 1));
    } else {
        av_channel_layout_copy(&inLayout, &decoder->ch_layout);
    }
    const int sourceChannels = inLayout.nb_channels;
    // Mono goes to both channels at full level, copied by the sink; more channels are folded
    // down by the resampler's standard matrix.
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, sourceChannels == 1 ? 1 : 2);
    SwrContext* swrRaw = nullptr;
    const int made =
        swr_alloc_set_opts2(&swrRaw, &outLayout, AV_SAMPLE_FMT_FLT, kSoundRate, &inLayout,
                            decoder->sample_fmt, decoder->sample_rate, 0, nullptr);
    SwrPtr swr(swrRaw);
    av_channel_layout_uninit(&inLayout);
    if (made < 0 || !swr || swr_init(swr.get()) < 0) {
        reason = "音声を変換できません。";
        return nullptr;
    }

    auto clip = std::shared_ptr<SoundClip>(new (std::nothrow) SoundClip());
    if (!clip) {
        reason = "メモリが足りません。";
        return nullptr;
    }
    clip->sourceChannels_ = sourceChannels;
    clip->sourceCodec_ = avcodec_get_name(stream->codecpar->codec_id);
    clip->sourceRate_ = decoder->sample_rate;
    clip->hasPicture_ = videoIndex >= 0;
    const double origin = OriginSeconds(*raw, videoIndex, *stream);
    StereoSink sink(clip->samples_, outLayout.nb_channels);
    av::PacketPtr packet(av_packet_alloc());
    av::FramePtr frame(av_frame_alloc());
    std::vector<float> converted;
    bool placed = false;
    bool failed = false;
    auto convert = [&](const AVFrame* in) {
        const int room = swr_get_out_samples(swr.get(), in != nullptr ? in->nb_samples : 0);
        if (room <= 0) {
            return true;
        }
        converted.resize(size_t(room) * size_t(outLayout.nb_channels));
        uint8_t* outData[1] = {reinterpret_cast<uint8_t*>(converted.data())};
        const int got =
            swr_convert(swr.get(), outData, room,
                        in != nullptr ? const_cast<const uint8_t**>(in->extended_data) : nullptr,
                        in != nullptr ? in->nb_samples : 0);
        if (got < 0) {
            return false;
        }
        sink.Append(converted.data(), got);
        return true;
    };
    auto drain = [&]() {
        for (;;) {
            const int r = avcodec_receive_frame(decoder.get(), frame.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) {
                return true;
            }
            if (r < 0) {
                return true;  // a damaged frame costs that frame only
            }
            if (!placed) {
                // Sound alone starts with its first decoded sample (what a gapless decoder
                // leaves after the encoder's delay, whatever time the demuxer gives it); beside
                // pictures it keeps its distance from the first one.
                const int64_t ts = frame->best_effort_timestamp;
                const double at = ts != AV_NOPTS_VALUE && videoIndex >= 0
                                      ? double(ts) * av_q2d(stream->time_base)
                                      : origin;
                sink.SetLead(std::llround((at - origin) * kSoundRate));
                placed = true;
            }
            const bool ok = convert(frame.get());
            av_frame_unref(frame.get());
            if (!ok) {
                return false;
            }
        }
    };
    try {
        if (!packet || !frame) {
            throw std::bad_alloc();
        }
        while (!failed) {
            const int r = av_read_frame(raw, packet.get());
            if (r < 0) {
                break;
            }
            if (packet->stream_index == audioIndex) {
                avcodec_send_packet(decoder.get(), packet.get());
                failed = !drain();
            }
            av_packet_unref(packet.get());
        }
        avcodec_send_packet(decoder.get(), nullptr);
        failed = failed || !drain() || !convert(nullptr);
        clip->samples_.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        reason = "音声のためのメモリが足りません。";
        return nullptr;
    }
    if (failed) {
        reason = "音声を変換できません。";
        return nullptr;
    }
    return clip;
}

std::shared_ptr<const SoundClip> SoundClip::Load(const std::string& nativePath, std::string& reason,
                                                 bool* hasPicture) {
    // A file without sound is remembered too: every render copy (each playback's start) opens
    // every movie anew, and finding again that a movie has no audio stream costs a probe of it.
    struct Known {
        std::weak_ptr<const SoundClip> clip;
        int64_t size = 0;
        int64_t modified = 0;
        bool silent = false;
        bool silentHasPicture = false;
    };
    static std::mutex lock;
    static std::map<std::string, Known> known;
    struct stat info {};
    const bool stated = ::stat(nativePath.c_str(), &info) == 0;
    const int64_t modified =
        stated ? int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec : 0;
    if (stated) {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = known.find(nativePath);
        if (found != known.end() && found->second.size == int64_t(info.st_size) &&
            found->second.modified == modified) {
            if (found->second.silent) {
                if (hasPicture != nullptr) {
                    *hasPicture = found->second.silentHasPicture;
                }
                reason = kNoSoundReason;
                return nullptr;
            }
            if (auto clip = found->second.clip.lock()) {
                if (hasPicture != nullptr) {
                    *hasPicture = clip->hasPicture_;
                }
                return clip;
            }
        }
    }
    bool picture = false;
    auto clip = Decode(nativePath, reason, &picture);
    if (hasPicture != nullptr) {
        *hasPicture = picture;
    }
    const bool silent = !clip && reason == kNoSoundReason;
    if ((clip || silent) && stated) {
        std::lock_guard<std::mutex> guard(lock);
        // Entries of clips that are gone cost a few bytes each; they are dropped as they are met.
        for (auto it = known.begin(); it != known.end();) {
            it = !it->second.silent && it->second.clip.expired() ? known.erase(it) : std::next(it);
        }
        known[nativePath] = Known{clip, int64_t(info.st_size), modified, silent, picture};
    }
    return clip;
}

void SoundClip::Read(int64_t first, int64_t count, float* out) const {
    const int64_t length = Length();
    const int64_t from = std::clamp<int64_t>(first, 0, length);
    const int64_t to = std::clamp<int64_t>(first + count, 0, length);
    float* p = out;
    const int64_t before = std::min<int64_t>(std::max<int64_t>(from - first, 0), count);
    std::fill(p, p + before * kSoundChannels, 0.0f);
    p += before * kSoundChannels;
    if (to > from) {
        std::memcpy(p, samples_.data() + from * kSoundChannels,
                    size_t(to - from) * kSoundChannels * sizeof(float));
        p += (to - from) * kSoundChannels;
    }
    std::fill(p, out + count * kSoundChannels, 0.0f);
}

}  // namespace kelvane

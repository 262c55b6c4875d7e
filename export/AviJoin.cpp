#include "export/AviJoin.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "export/OpaqueCopy.h"
#include "export/OutputContainer.h"
#include "export/audio/RangeSoundEncoder.h"
#include "export/audio/SoundCodecs.h"
#include "media/FfmpegHandles.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace kelvane {

namespace {

struct Part {
    std::string path;
    av::InputContextPtr input;
    AviPartRecord record;

    const AVStream* Stream() const { return input->streams[0]; }
    // The sound stream when the part has one.
    const AVStream* Sound() const { return input->nb_streams > 1 ? input->streams[1] : nullptr; }
    // One tick per frame: AVI counts in frames, the other containers in their own units.
    AVRational FrameTimeBase() const {
        const AVStream* st = Stream();
        return st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0 &&
                       std::string_view(input->iformat->name) != "avi"
                   ? av_inv_q(st->avg_frame_rate)
                   : st->time_base;
    }
};

// The codec of the part's sound when it primes each part anew (AAC, Opus); nullptr for sound
// that joins by copying, and for a part without sound.
const SoundCodec* PrimedSoundCodec(const Part& part) {
    const AVStream* sound = part.Sound();
    if (sound == nullptr) {
        return nullptr;
    }
    const SoundCodec* codec = SoundCodecOfStream(sound->codecpar->codec_id);
    return codec != nullptr && !codec->copyJoinable ? codec : nullptr;
}

std::string RangeText(const AviPartRecord& r) {
    return std::to_string(r.first) + "-" + std::to_string(r.last);
}

bool OpenInput(const std::string& path, const OutputContainer& container,
               av::InputContextPtr& input) {
    AVFormatContext* raw = nullptr;
    const AVInputFormat* format = container.IsAvi() ? av_find_input_format("avi") : nullptr;
    if (avformat_open_input(&raw, path.c_str(), format, nullptr) < 0) {
        return false;
    }
    input.reset(raw);
    // AVI's headers describe the stream fully; the others are probed from the first packets.
    return container.IsAvi() || avformat_find_stream_info(raw, nullptr) >= 0;
}

// The packets of the part's one stream, counted by reading them: the index of an AVI file holds
// the count, the other containers' headers do not.
int64_t CountPackets(AVFormatContext* input) {
    av::PacketPtr packet(av_packet_alloc());
    int64_t count = 0;
    while (packet && av_read_frame(input, packet.get()) >= 0) {
        count += packet->stream_index == 0 ? 1 : 0;
        av_packet_unref(packet.get());
    }
    return count;
}

// Opens the part and reads its record, without counting its frames.
bool OpenPartHeader(const std::string& path, const OutputContainer& container, Part& part,
                    std::string& error) {
    part.path = path;
    const std::string kind = container.IsAvi() ? "AVI" : "." + std::string(container.extension);
    if (ContainerOfPath(path) != &container || !OpenInput(path, container, part.input)) {
        error = path + " を " + kind + " ファイルとして開けません。";
        return false;
    }
    AVFormatContext* raw = part.input.get();
    // The pictures, and the sound when the project has any.
    if (raw->nb_streams < 1 || raw->nb_streams > 2 ||
        raw->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO ||
        (raw->nb_streams == 2 && raw->streams[1]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)) {
        error = path + " は映像ストリームを一つ（と音声ストリームを一つ）持つ " + kind +
                " ファイルではありません。";
        return false;
    }
    // The demuxer gives the INFO comment under its common name.
    const AVDictionaryEntry* comment = av_dict_get(raw->metadata, "comment", nullptr, 0);
    if (comment == nullptr) {
        comment = av_dict_get(raw->metadata, kAviPartRecordInfoId, nullptr, 0);
    }
    if (comment == nullptr || !ParseAviPartRecord(comment->value, part.record)) {
        error = path +
                " には書き出した範囲の記録がありません（kelvane-render で書き出したファイルでは"
                "ありません）。";
        return false;
    }
    return true;
}

bool OpenPart(const std::string& path, const OutputContainer& container, Part& part,
              std::string& error) {
    if (!OpenPartHeader(path, container, part, error)) {
        return false;
    }
    AVFormatContext* raw = part.input.get();
    const std::string kind = container.IsAvi() ? "AVI" : "." + std::string(container.extension);
    // A part whose export stopped early is a valid file with fewer frames than its range.
    int64_t frames = raw->streams[0]->nb_frames;
    if (!container.IsAvi()) {
        frames = CountPackets(raw);
        if (!OpenInput(path, container, part.input)) {
            error = path + " を " + kind + " ファイルとして開けません。";
            return false;
        }
    }
    if (frames != int64_t(part.record.Frames())) {
        error = path + " のフレーム数 (" + std::to_string(frames) + ") が記録された範囲 " +
                RangeText(part.record) + " (" + std::to_string(part.record.Frames()) +
                " フレーム) と合いません。書き出しが途中で止まった可能性があります。";
        return false;
    }
    return true;
}

// Why two parts cannot be joined; empty when they agree.
std::string Difference(const Part& a, const Part& b) {
    const AviPartRecord& r = a.record;
    const AviPartRecord& s = b.record;
    const AVCodecParameters* p = a.Stream()->codecpar;
    const AVCodecParameters* q = b.Stream()->codecpar;
    if (p->width != q->width || p->height != q->height) {
        return "画像の大きさが違います (" + std::to_string(p->width) + "x" +
               std::to_string(p->height) + " と " + std::to_string(q->width) + "x" +
               std::to_string(q->height) + ")";
    }
    if (av_cmp_q(a.FrameTimeBase(), b.FrameTimeBase()) != 0) {
        return "フレームレートが違います";
    }
    if (r.codec != s.codec || p->codec_id != q->codec_id || p->codec_tag != q->codec_tag) {
        return "圧縮形式が違います (" + r.codec + " と " + s.codec + ")";
    }
    if (p->bits_per_coded_sample != q->bits_per_coded_sample ||
        p->extradata_size != q->extradata_size ||
        (p->extradata_size > 0 && std::memcmp(p->extradata, q->extradata, p->extradata_size))) {
        return "圧縮の設定が違います (" + r.codec + ")";
    }
    const AVStream* x = a.Sound();
    const AVStream* y = b.Sound();
    if ((x == nullptr) != (y == nullptr) ||
        (x != nullptr &&
         (x->codecpar->codec_id != y->codecpar->codec_id ||
          x->codecpar->sample_rate != y->codecpar->sample_rate ||
          x->codecpar->ch_layout.nb_channels != y->codecpar->ch_layout.nb_channels))) {
        return "音声が違います";
    }
    if (r.projectSha256 != s.projectSha256 || r.length != s.length) {
        return "別のプロジェクトから書き出されています (" + r.project + " と " + s.project + ")";
    }
    return {};
}

class JoinedFile {
  public:
    explicit JoinedFile(std::string path) : path_(std::move(path)) {}
    ~JoinedFile() {
        out_.reset();
        if (!kept_) {
            std::remove(path_.c_str());
        }
    }

    // `bytes`: about how large the file becomes. With `rendered` (may be null) the sound comes
    // from it rather than from the parts.
    bool Open(const Part& first, const AviPartRecord& record, uint64_t bytes,
              const OutputContainer& container, std::unique_ptr<RangeSoundEncoder> rendered,
              const SoundCodec* renderedCodec) {
        AVFormatContext* raw = nullptr;
        const std::string muxer(container.muxer);
        if (avformat_alloc_output_context2(&raw, nullptr, muxer.c_str(), path_.c_str()) < 0 ||
            raw == nullptr) {
            return false;
        }
        out_.reset(raw);
        av_dict_set(&raw->metadata, container.IsAvi() ? kAviPartRecordInfoId : "comment",
                    FormatAviPartRecord(record).c_str(), 0);
        AVStream* st = avformat_new_stream(raw, nullptr);
        if (st == nullptr || avcodec_parameters_copy(st->codecpar, first.Stream()->codecpar) < 0) {
            return false;
        }
        // The demuxer estimates a bit rate from the part; the muxer would size its header and
        // index reservations from it, where an export knows none.
        st->codecpar->bit_rate = 0;
        if (!container.IsAvi()) {
            st->codecpar->codec_tag = 0;  // the muxer's own tag for the codec
        }
        frameTimeBase_ = first.FrameTimeBase();
        st->time_base = frameTimeBase_;
        st->avg_frame_rate = av_inv_q(frameTimeBase_);
        rendered_ = std::move(rendered);
        if (rendered_ != nullptr) {
            // Fragmented MP4 and QuickTime carry no edit list: the priming is left out, as the
            // export leaves it out.
            const bool dropPriming = container.muxer == "mp4" || container.muxer == "mov";
            if (!rendered_->Open(raw, *renderedCodec, dropPriming)) {
                return false;
            }
            sound_ = true;
        } else if (const AVStream* sound = first.Sound()) {
            AVStream* out = avformat_new_stream(raw, nullptr);
            if (out == nullptr || avcodec_parameters_copy(out->codecpar, sound->codecpar) < 0) {
                return false;
            }
            out->codecpar->codec_tag = 0;
            out->time_base = AVRational{1, sound->codecpar->sample_rate};
            sound_ = true;
        }
        if (avio_open(&raw->pb, path_.c_str(), AVIO_FLAG_WRITE) < 0) {
            return false;
        }
        // The header keeps room for 256 entries of the OpenDML master index, one per gigabyte
        // of frames; beyond that the muxer chains further indexes, which not every reader
        // follows. A join knows its size beforehand and keeps room for all of them.
        constexpr uint64_t kRiffSize = uint64_t(1) << 30;
        constexpr uint64_t kDefaultEntries = 256;
        const uint64_t entries = bytes / kRiffSize + 2;
        av::Dictionary options;
        if (container.IsAvi() && entries > kDefaultEntries) {
            options.Set("reserve_index_space", std::to_string(32 + 16 * entries).c_str());
        }
        if (container.muxer == "mp4" || container.muxer == "mov") {
            // Fragmented as the export writes them.
            options.Set("movflags", "frag_keyframe+empty_moov+default_base_moof");
            options.Set("frag_duration", "1000000");
        }
        return avformat_write_header(raw, options.Address()) >= 0;
    }

    // Copies every packet of the part; false on a read or write failure or when the part holds
    // other than the frames its record claims.
    bool Copy(const Part& part, std::string& error,
              const std::function<void(uint32_t, uint32_t)>& onFrame, uint32_t total,
              const std::atomic<bool>* cancel) {
        av::PacketPtr packet(av_packet_alloc());
        if (!packet) {
            error = "メモリが足りません。";
            return false;
        }
        AVPacket* pkt = packet.get();
        // Parts written before the fourth byte was made opaque carry 0 there; the joined file
        // has it opaque throughout, as an export writes it.
        const AVCodecParameters* par = part.Stream()->codecpar;
        const bool rawBgra =
            par->codec_id == AV_CODEC_ID_RAWVIDEO && par->bits_per_coded_sample == 32;
        uint32_t copied = 0;
        int got;
        while ((got = av_read_frame(part.input.get(), pkt)) >= 0) {
            if (cancel != nullptr && cancel->load()) {
                av_packet_unref(pkt);
                error = "中断されました。";
                return false;
            }
            if (pkt->stream_index == 1 && rendered_ != nullptr) {
                av_packet_unref(pkt);
                continue;
            }
            if (pkt->stream_index == 1) {
                if (!CopySound(part, pkt)) {
                    error = path_ + " に書き込めません。";
                    return false;
                }
                continue;
            }
            if (copied == 0 && !(pkt->flags & AV_PKT_FLAG_KEY)) {
                error = part.path + " の最初のフレームがキーフレームではありません。";
                return false;
            }
            if (rawBgra) {
                if (av_packet_make_writable(pkt) < 0) {
                    av_packet_unref(pkt);
                    error = "メモリが足りません。";
                    return false;
                }
                CopyOpaque(pkt->data, pkt->data, size_t(pkt->size) & ~size_t(3));
            }
            // The encoders show every frame in the order they decode it, one packet each.
            const AVRational outBase = out_->streams[0]->time_base;
            pkt->stream_index = 0;
            pkt->pts = pkt->dts = av_rescale_q(next_++, frameTimeBase_, outBase);
            pkt->duration = av_rescale_q(1, frameTimeBase_, outBase);
            pkt->pos = -1;
            const int written = Write(pkt);
            av_packet_unref(pkt);
            if (written < 0 || out_->pb->error < 0 ||
                (rendered_ != nullptr &&
                 !rendered_->EncodeFrame(uint32_t(next_ - 1),
                                         [this](AVPacket* p) { return WriteSound(p); }))) {
                error = path_ + " に書き込めません。";
                return false;
            }
            ++copied;
            if (onFrame) {
                onFrame(uint32_t(next_), total);
            }
        }
        if (got != AVERROR_EOF || copied != part.record.Frames()) {
            error = part.path + " を最後まで読めません。";
            return false;
        }
        return true;
    }

    // The parts' sound follows on sample after sample: each packet is placed after the ones
    // before it, whatever its part counted from.
    bool CopySound(const Part& part, AVPacket* pkt) {
        const AVRational inBase = part.Sound()->time_base;
        const AVRational samples{1, part.Sound()->codecpar->sample_rate};
        const AVCodecParameters* par = part.Sound()->codecpar;
        const int64_t duration =
            pkt->duration > 0
                ? av_rescale_q(pkt->duration, inBase, samples)
                : av_get_audio_frame_duration2(const_cast<AVCodecParameters*>(par), pkt->size);
        const AVRational outBase = out_->streams[1]->time_base;
        pkt->stream_index = 1;
        pkt->pts = pkt->dts = av_rescale_q(nextSample_, samples, outBase);
        pkt->duration = av_rescale_q(duration, samples, outBase);
        pkt->pos = -1;
        nextSample_ += duration;
        const int written = Write(pkt);
        av_packet_unref(pkt);
        return written >= 0 && out_->pb->error >= 0;
    }

    bool WriteSound(AVPacket* pkt) { return Write(pkt) >= 0 && out_->pb->error >= 0; }

    int Write(AVPacket* pkt) {
        return sound_ ? av_interleaved_write_frame(out_.get(), pkt)
                      : av_write_frame(out_.get(), pkt);
    }

    bool Finish() {
        // The sound still inside the encoder belongs to the last frames.
        if (rendered_ != nullptr &&
            !rendered_->Finish([this](AVPacket* p) { return WriteSound(p); })) {
            out_.reset();
            return false;
        }
        const bool ok = av_write_trailer(out_.get()) >= 0 && out_->pb->error >= 0;
        out_.reset();
        return ok;
    }
    void Keep() { kept_ = true; }

  private:
    std::string path_;
    av::OutputContextPtr out_;
    bool kept_ = false;
    int64_t next_ = 0;
    AVRational frameTimeBase_{1, 1};
    bool sound_ = false;
    int64_t nextSample_ = 0;
    std::unique_ptr<RangeSoundEncoder> rendered_;
};

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

bool JoinAviParts(const std::vector<std::string>& paths, const std::string& output,
                  AviJoinSummary& summary, std::string& error,
                  const std::function<void(uint32_t copied, uint32_t total)>& onFrame,
                  const std::atomic<bool>* cancel, const JoinProjectSound& projectSound) {
    if (paths.empty()) {
        error = "つなぐファイルが指定されていません。";
        return false;
    }
    const OutputContainer* container = ContainerOfPath(output);
    if (container == nullptr) {
        error = "書き出せないファイルの種類です: " + output +
                "。書き出せる種類: " + ContainerExtensionList();
        return false;
    }
    std::vector<Part> parts(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (SameFile(paths[i], output)) {
            error = "出力ファイルがつなぐファイルの一つと同じです: " + output;
            return false;
        }
        if (!OpenPart(paths[i], *container, parts[i], error)) {
            return false;
        }
    }
    std::stable_sort(parts.begin(), parts.end(),
                     [](const Part& a, const Part& b) { return a.record.first < b.record.first; });
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string why = Difference(parts[0], parts[i]);
        if (!why.empty()) {
            error = parts[i].path + " は " + parts[0].path + " とつなげません: " + why + "。";
            return false;
        }
        const AviPartRecord& before = parts[i - 1].record;
        const AviPartRecord& after = parts[i].record;
        if (after.first <= before.last) {
            error = parts[i - 1].path + " (フレーム " + RangeText(before) + ") と " +
                    parts[i].path + " (フレーム " + RangeText(after) + ") の範囲が重なっています。";
            return false;
        }
        if (after.first != before.last + 1) {
            error = parts[i - 1].path + " (フレーム " + RangeText(before) + ") と " +
                    parts[i].path + " (フレーム " + RangeText(after) + ") の間のフレーム " +
                    std::to_string(before.last + 1) + "-" + std::to_string(after.first - 1) +
                    " がありません。";
            return false;
        }
    }

    AviPartRecord joined = parts[0].record;
    joined.last = parts.back().record.last;
    // Written beside the output and renamed over it when complete, so that a failed join leaves
    // any earlier file of that name as it was.
    const std::string partial = output + ".joining";
    uint64_t bytes = 0;
    for (const std::string& path : paths) {
        std::error_code ec;
        bytes += std::filesystem::file_size(path, ec);
    }
    // Sound that primes each part is rendered again in one piece from the project, when given.
    const SoundCodec* primed = PrimedSoundCodec(parts[0]);
    std::unique_ptr<RangeSoundEncoder> rendered;
    if (primed != nullptr && projectSound.composer != nullptr &&
        projectSound.composer->HasSound()) {
        rendered = std::make_unique<RangeSoundEncoder>(*projectSound.composer,
                                                       projectSound.frameDuration, joined.first);
    }
    const bool soundRendered = rendered != nullptr;
    JoinedFile file(partial);
    if (!file.Open(parts[0], joined, bytes, *container, std::move(rendered), primed)) {
        error = partial + " を作成できません。";
        return false;
    }
    for (const Part& part : parts) {
        if (!file.Copy(part, error, onFrame, joined.Frames(), cancel)) {
            return false;
        }
    }
    if (!file.Finish()) {
        error = partial + " に書き込めません。";
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(partial, output, ec);
    if (ec) {
        error = output + " を作成できません: " + ec.message();
        return false;
    }
    file.Keep();
    summary.record = joined;
    // Lossless and PCM sound joins without a seam; a lossy codec primes each part anew.
    summary.soundRendered = soundRendered;
    if (const AVStream* sound = parts[0].Sound(); sound != nullptr && !soundRendered) {
        const SoundCodec* codec = SoundCodecOfStream(sound->codecpar->codec_id);
        summary.soundSeams = codec == nullptr || !codec->copyJoinable;
    }
    summary.bytes = std::filesystem::file_size(output, ec);
    return true;
}

}  // namespace kelvane

namespace kelvane {

bool ReadJoinPart(const std::string& path, AviPartRecord& record, bool& primedSound) {
    const OutputContainer* container = ContainerOfPath(path);
    Part part;
    std::string error;
    if (container == nullptr || !OpenPartHeader(path, *container, part, error)) {
        return false;
    }
    record = part.record;
    primedSound = PrimedSoundCodec(part) != nullptr;
    return true;
}

}  // namespace kelvane

#include "export/AviMuxer.h"

namespace kelvane {

av::OutputContextPtr NewAviMuxer(const AviMuxerSetup& setup, const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str()) < 0 || raw == nullptr) {
        return nullptr;
    }
    av::OutputContextPtr format(raw);
    // The muxer writes the entries whose ids it knows as the INFO list after the headers.
    for (const auto& [id, text] : setup.info) {
        av_dict_set(&raw->metadata, id.c_str(), text.c_str(), 0);
    }
    AVStream* st = avformat_new_stream(raw, nullptr);
    if (st == nullptr || avcodec_parameters_copy(st->codecpar, setup.params) < 0) {
        return nullptr;
    }
    // rate / scale frames per second: one tick of the stream is one frame.
    st->time_base = AVRational{int(setup.scale), int(setup.rate)};
    st->avg_frame_rate = AVRational{int(setup.rate), int(setup.scale)};
    if (setup.soundParams != nullptr) {
        AVStream* sound = avformat_new_stream(raw, nullptr);
        if (sound == nullptr || avcodec_parameters_copy(sound->codecpar, setup.soundParams) < 0) {
            return nullptr;
        }
        sound->time_base = AVRational{1, setup.soundParams->sample_rate};
    }
    return format;
}

void SetAviHeaderOptions(av::Dictionary& options) {
    // Our rows are bottom-up, as a BI_RGB bitmap with a positive height declares them.
    options.Set("flipped_raw_rgb", "1");
}

}  // namespace kelvane

#include "export/ContainerEncoder.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "export/OutputContainer.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace kelvane {

namespace {

// A rate factor that is `atDefault` at the default quality, 0 at 100 and `worst` at 0, linear in
// between: the default is each encoder's visually clean setting, 100 its finest.
int RateFactor(int quality, int atDefault, int worst) {
    double crf;
    if (quality >= kDefaultQuality) {
        crf = double(atDefault) * (100 - quality) / (100 - kDefaultQuality);
    } else {
        crf = atDefault + double(worst - atDefault) * (kDefaultQuality - quality) / kDefaultQuality;
    }
    return int(std::lround(crf));
}

}  // namespace

EncoderPlan PlanEncoder(const CompressorInfo& codec, int width, int height) {
    EncoderPlan plan;
    if (codec.encoder == "ffv1") {
        // Asked for with three components: the fourth byte is no alpha.
        const AVCodec* c = avcodec_find_encoder_by_name("ffv1");
        plan.pixelFormat =
            c != nullptr && c->pix_fmts != nullptr
                ? avcodec_find_best_pix_fmt_of_list(c->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr)
                : AV_PIX_FMT_NONE;
        plan.range = AVCOL_RANGE_JPEG;
        plan.space = AVCOL_SPC_RGB;
        plan.primaries = AVCOL_PRI_BT709;
        plan.transfer = AVCOL_TRC_IEC61966_2_1;
        return plan;
    }
    plan.pixelFormat = codec.encoder == "prores_ks" ? AV_PIX_FMT_YUV422P10 : AV_PIX_FMT_YUV420P;
    plan.range = AVCOL_RANGE_MPEG;
    plan.hd = width >= 1280 || height >= 720;
    if (plan.hd) {
        plan.space = AVCOL_SPC_BT709;
        plan.primaries = AVCOL_PRI_BT709;
        plan.transfer = AVCOL_TRC_BT709;
    } else {
        plan.space = AVCOL_SPC_SMPTE170M;
        plan.primaries = AVCOL_PRI_SMPTE170M;
        plan.transfer = AVCOL_TRC_SMPTE170M;
    }
    return plan;
}

int EncoderQualityValue(const CompressorInfo& codec, int quality) {
    const int q = quality < 0 ? kDefaultQuality : std::min(quality, 100);
    const std::string_view e = codec.encoder;
    if (e == "libx264") {
        return RateFactor(q, 18, 51);
    }
    if (e == "libx265") {
        return RateFactor(q, 20, 51);
    }
    if (e == "libvpx-vp9") {
        return RateFactor(q, 24, 63);
    }
    if (e == "libsvtav1") {
        return RateFactor(q, 26, 63);
    }
    if (e == "prores_ks") {
        return std::clamp(q / 25, 0, 3);  // proxy, LT, standard, HQ
    }
    return -1;
}

bool ContainerCodecTakesSize(const CompressorInfo& codec, int width, int height) {
    return PlanEncoder(codec, width, height).range != AVCOL_RANGE_MPEG ||
           (width % 2 == 0 && height % 2 == 0);
}

av::CodecContextPtr OpenContainerEncoder(const CompressorInfo& info, int quality, int width,
                                         int height, AVRational frameRate, bool globalHeader) {
    const AVCodec* codec = avcodec_find_encoder_by_name(info.encoder.c_str());
    const EncoderPlan plan = PlanEncoder(info, width, height);
    if (codec == nullptr || plan.pixelFormat == AV_PIX_FMT_NONE) {
        return nullptr;
    }
    if (!ContainerCodecTakesSize(info, width, height)) {
        return nullptr;
    }
    av::CodecContextPtr enc(avcodec_alloc_context3(codec));
    if (!enc) {
        return nullptr;
    }
    enc->width = width;
    enc->height = height;
    enc->pix_fmt = plan.pixelFormat;
    enc->sample_aspect_ratio = AVRational{1, 1};
    enc->time_base = av_inv_q(frameRate);
    enc->framerate = frameRate;
    enc->color_range = plan.range;
    enc->colorspace = plan.space;
    enc->color_primaries = plan.primaries;
    enc->color_trc = plan.transfer;
    enc->thread_count = 0;
    if (globalHeader) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // No frame is shown before one decoded after it: every packet's presentation and decoding
    // times agree, so parts of consecutive ranges join by copying packets in order.
    enc->max_b_frames = 0;

    av::Dictionary options;
    const std::string value = std::to_string(EncoderQualityValue(info, quality));
    const std::string_view e = info.encoder;
    if (e == "libx264") {
        options.Set("preset", "medium");
        options.Set("crf", value.c_str());
    } else if (e == "libx265") {
        options.Set("preset", "medium");
        options.Set("crf", value.c_str());
        options.Set("x265-params", "bframes=0:log-level=error");
    } else if (e == "libvpx-vp9") {
        enc->bit_rate = 0;  // constant quality
        options.Set("crf", value.c_str());
        options.Set("deadline", "good");
        options.Set("cpu-used", "4");
        options.Set("row-mt", "1");
    } else if (e == "libsvtav1") {
        options.Set("crf", value.c_str());
        options.Set("preset", "8");
    } else if (e == "prores_ks") {
        options.Set("profile", value.c_str());
    } else if (e == "ffv1") {
        // Every frame decodes on its own, as in AVI.
        enc->gop_size = 1;
        options.Set("level", "3");
        options.Set("slicecrc", "1");
    }
    if (avcodec_open2(enc.get(), codec, options.Address()) < 0) {
        return nullptr;
    }
    return enc;
}

}  // namespace kelvane

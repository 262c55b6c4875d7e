#include "media/pipeline/FrameConverter.h"

#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/StepTimes.h"
#include "render/PixelImage.h"

namespace kelvane {

namespace {

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

// Sixteen bytes at a time: this pass touches every pixel of every delivered frame.
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

FrameConverter::FrameConverter(int width, int height)
    : width_(width), height_(height), pitch_(PixelImage::PitchFor(width, 32)) {}

bool FrameConverter::Convert(const AVFrame& frame, uint8_t* destination, size_t size) {
    const StepTimer timer(Step::Convert);
    if (!destination || size > ConvertedSize())
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (size == ConvertedSize())
        return ConvertWhole(frame, destination);
    try {
        partial_.resize(ConvertedSize());
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ConvertWhole(frame, partial_.data()))
        return false;
    std::memcpy(destination, partial_.data(), size);
    return true;
}

void FrameConverter::SetKeepAlpha(bool keep) {
    std::lock_guard<std::mutex> lock(mutex_);
    keepAlpha_ = keep;
}

// Builds the context with the ranges given before it is initialised: a context whose range is
// changed afterwards converts its first picture differently from the ones after it, which would
// make a frame's pixels depend on what was converted before it.
bool FrameConverter::Prepare(const AVFrame& frame, AVPixelFormat source, int fullRange, int space) {
    if (sws_ && frame.width == swsWidth_ && frame.height == swsHeight_ && source == swsFormat_ &&
        fullRange == swsFullRange_ && space == swsSpace_ && keepAlpha_ == swsAlpha_)
        return true;
    sws_.reset(sws_alloc_context());
    if (!sws_)
        return false;
    SwsContext* c = sws_.get();
    const bool set =
        av_opt_set_int(c, "srcw", frame.width, 0) >= 0 &&
        av_opt_set_int(c, "srch", frame.height, 0) >= 0 &&
        av_opt_set_int(c, "src_format", source, 0) >= 0 &&
        av_opt_set_int(c, "dstw", width_, 0) >= 0 && av_opt_set_int(c, "dsth", height_, 0) >= 0 &&
        av_opt_set_int(c, "dst_format", keepAlpha_ ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0, 0) >= 0 &&
        av_opt_set_int(c, "sws_flags", SWS_BILINEAR, 0) >= 0 &&
        av_opt_set_int(c, "src_range", fullRange, 0) >= 0 &&
        av_opt_set_int(c, "dst_range", 1, 0) >= 0;
    if (!set || sws_init_context(c, nullptr, nullptr) < 0) {
        sws_.reset();
        return false;
    }
    sws_setColorspaceDetails(c, sws_getCoefficients(space), fullRange,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    swsWidth_ = frame.width;
    swsHeight_ = frame.height;
    swsFormat_ = source;
    swsFullRange_ = fullRange;
    swsSpace_ = space;
    swsAlpha_ = keepAlpha_;
    return true;
}

bool FrameConverter::ConvertWhole(const AVFrame& frame, uint8_t* destination) {
    int fullRange = frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    const AVPixelFormat source = WithoutRange(AVPixelFormat(frame.format), fullRange);
    int space = SWS_CS_DEFAULT;
    if (frame.colorspace != AVCOL_SPC_UNSPECIFIED && frame.colorspace != AVCOL_SPC_RGB)
        space = int(frame.colorspace);
    // Pictures may change size within a stream; they are scaled to the connected size so that
    // every sample fills the same buffer.
    if (!Prepare(frame, source, fullRange, space))
        return false;
    // Bottom-up rows: the first converted row is the last one in memory.
    uint8_t* rows[4] = {destination + (size_t(height_) - 1) * pitch_, nullptr, nullptr, nullptr};
    int strides[4] = {-int(pitch_), 0, 0, 0};
    if (sws_scale(sws_.get(), frame.data, frame.linesize, 0, frame.height, rows, strides) !=
        height_)
        return false;
    // The converter writes 0xFF into the unused fourth byte; images without alpha carry 0 there.
    if (!keepAlpha_)
        ClearFourthBytes(destination, ConvertedSize());
    return true;
}

}  // namespace kelvane

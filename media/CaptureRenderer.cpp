#include "media/CaptureRenderer.h"

namespace kelvane {

MediaCheck CaptureRenderer::CheckMediaType(const MediaType& type) {
    if (!(type.majorType == kMediaTypeVideo))
        return MediaCheck::Failed;
    if (!(type.subtype == kMediaSubtypeRgb32))
        return MediaCheck::Failed;
    if (!(type.formatType == kFormatVideoInfo))
        return MediaCheck::InvalidArgument;
    // Samples are copied byte for byte into bottom-up images, so top-down rows (a negative height)
    // would arrive upside down: they are refused here rather than flipped later.
    const BitmapInfoHeader& h = type.format.bmiHeader;
    if (h.bitCount != 32 || h.width <= 0 || h.height <= 0)
        return MediaCheck::Failed;
    return MediaCheck::Ok;
}

bool CaptureRenderer::SetMediaType(const MediaType& type) {
    if (CheckMediaType(type) != MediaCheck::Ok)
        return false;
    format_ = type.format;
    return true;
}

void CaptureRenderer::RenderSample(const SamplePtr& sample) {
    slot_.Offer(sample, FilterLock(), [this] { return ThreadReleased(); });
}

void CaptureRenderer::NotifyMayWait(bool mayWait) {
    // The release signal goes first, so that a streaming thread still inside the slot drops its
    // sample instead of filling the slot just re-opened below.
    RendererBase::NotifyMayWait(mayWait);
    if (!mayWait && !IsStreaming())
        slot_.Reopen();
}

}  // namespace kelvane

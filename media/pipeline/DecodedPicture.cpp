#include "media/pipeline/DecodedPicture.h"

#include <algorithm>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kelvane {

size_t DecodedPicture::Bytes() const {
    size_t bytes = sizeof(AVFrame);
    if (!frame)
        return bytes;
    for (const AVBufferRef* buf : frame->buf)
        if (buf)
            bytes += buf->size;
    for (int i = 0; i < frame->nb_extended_buf; ++i)
        bytes += frame->extended_buf[i]->size;
    // Some decoders hand out pictures whose buffers do not show their whole size.
    const int planes =
        av_image_get_buffer_size(AVPixelFormat(frame->format), frame->width, frame->height, 1);
    return std::max(bytes, sizeof(AVFrame) + size_t(std::max(planes, 0)));
}

}  // namespace kelvane

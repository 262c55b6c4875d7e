#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "media/FfmpegHandles.h"

namespace kelvane {

// Converts decoded pictures to bottom-up 32-bit rows (0x00RRGGBB, fourth byte 0, or straight
// alpha there while alpha is kept) of one fixed size, scaling pictures that change size within a
// stream. Conversion is deferred until a picture is delivered, so pictures that are only decoded on
// the way to another are never converted. One converter serves every picture of a stream; calls are
// serialised.
class FrameConverter {
  public:
    FrameConverter(int width, int height);
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    // Bytes of one converted picture.
    size_t ConvertedSize() const { return pitch_ * size_t(height_); }
    // Writes the first `size` bytes of the converted picture (at most ConvertedSize()).
    bool Convert(const AVFrame& frame, uint8_t* destination, size_t size);
    // Whether the pictures converted from now on carry the picture's alpha in their fourth byte
    // (255 where the picture has none).
    void SetKeepAlpha(bool keep);

  private:
    bool Prepare(const AVFrame& frame, AVPixelFormat source, int fullRange, int space);
    bool ConvertWhole(const AVFrame& frame, uint8_t* destination);

    const int width_;
    const int height_;
    const size_t pitch_;
    std::mutex mutex_;
    av::SwsPtr sws_;
    int swsWidth_ = 0;
    int swsHeight_ = 0;
    AVPixelFormat swsFormat_ = AV_PIX_FMT_NONE;
    int swsSpace_ = -1;
    int swsFullRange_ = -1;
    bool keepAlpha_ = false;  // guarded by mutex_
    bool swsAlpha_ = false;
    std::vector<uint8_t> partial_;  // for destinations smaller than a picture
};

}  // namespace kelvane

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "media/FfmpegHandles.h"
#include "media/pipeline/FrameConverter.h"
#include "model/TrackEvent.h"

namespace kelvane {

// One decoded picture as the decoder gave it (its own pixel format, shared with the decoder's
// reference pictures), its frame number and its media time from the first picture of the stream.
// It is converted to 32-bit rows only when it is delivered.
struct DecodedPicture {
    av::FramePtr frame;
    std::shared_ptr<FrameConverter> converter;
    int64_t index = 0;
    RefTime time = 0;

    // Memory held by the picture's buffers.
    size_t Bytes() const;
    size_t ConvertedSize() const { return converter->ConvertedSize(); }
    bool ConvertInto(uint8_t* destination, size_t size) const {
        return converter->Convert(*frame, destination, size);
    }
};

using PicturePtr = std::shared_ptr<const DecodedPicture>;

}  // namespace kelvane

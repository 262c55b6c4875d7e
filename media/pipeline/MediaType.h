#pragma once

#include <cstdint>
#include <cstring>

#include "model/TrackEvent.h"
#include "render/PixelImage.h"

namespace kelvane {

// A 16-byte type identifier, compared byte for byte.
struct MediaGuid {
    uint8_t bytes[16];
    friend bool operator==(const MediaGuid& a, const MediaGuid& b) {
        return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
    }
};

// The identifiers the pipeline knows. Their values only have to differ from one another.
inline constexpr MediaGuid kMediaTypeVideo{
    {'v', 'i', 'd', 's', 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}};
inline constexpr MediaGuid kMediaTypeAudio{
    {'a', 'u', 'd', 's', 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}};
inline constexpr MediaGuid kMediaSubtypeRgb32{{0x7E, 0xEB, 0x36, 0xE4, 0x4F, 0x52, 0xCE, 0x11, 0x9F,
                                               0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr MediaGuid kMediaSubtypeRgb24{{0x7D, 0xEB, 0x36, 0xE4, 0x4F, 0x52, 0xCE, 0x11, 0x9F,
                                               0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr MediaGuid kFormatVideoInfo{{0x80, 0x9F, 0x58, 0x05, 0x56, 0xC3, 0xCE, 0x11, 0xBF,
                                             0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr MediaGuid kFormatNone{{0x00, 0x56, 0x0F, 0x0F, 0x92, 0x78, 0xCE, 0x11, 0x8F, 0x1E,
                                        0x00, 0xAA, 0x00, 0x6B, 0xB7, 0x73}};

struct VideoRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The format block of a video connection.
struct VideoInfoHeader {
    VideoRect source;
    VideoRect target;
    uint32_t bitRate = 0;
    uint32_t bitErrorRate = 0;
    RefTime avgTimePerFrame = 0;
    BitmapInfoHeader bmiHeader;
};

struct MediaType {
    MediaGuid majorType = kMediaTypeVideo;
    MediaGuid subtype = kMediaSubtypeRgb32;
    MediaGuid formatType = kFormatVideoInfo;
    VideoInfoHeader format;
};

// The answers of a sink's media-type check.
enum class MediaCheck { Ok, Failed, InvalidArgument };

}  // namespace kelvane

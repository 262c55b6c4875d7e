#pragma once

#include <string>

#include "export/Compressor.h"
#include "media/FfmpegHandles.h"

namespace kelvane {

// How an encoder of a container export is set up: the pixel format it is fed, the colour it
// declares and the quality scale of 0 to 100 turned into the encoder's own control.
struct EncoderPlan {
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;
    AVColorSpace space = AVCOL_SPC_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    bool hd = false;  // BT.709 coefficients; BT.601 otherwise
};

// The delivery codecs get 8-bit 4:2:0 (ProRes its own 10-bit 4:2:2) in studio range, tagged
// BT.709 from 1280 x 720 up and BT.601 below; FFV1 keeps our full-range RGB.
EncoderPlan PlanEncoder(const CompressorInfo& codec, int width, int height);

// The encoder's own setting for `quality` (0 to 100; below 0 the default): the constant rate
// factor for x264, x265, VP9 and AV1, the profile number for ProRes; -1 for codecs without one.
int EncoderQualityValue(const CompressorInfo& codec, int quality);

// Whether the codec takes frames of width x height: the 4:2:0 and 4:2:2 encoders halve the
// chroma and refuse odd sizes.
bool ContainerCodecTakesSize(const CompressorInfo& codec, int width, int height);

// Opens the encoder for frames of width x height at `frameRate` frames per second. `globalHeader`
// when the muxer wants the codec's headers out of band. Null when the encoder refuses.
av::CodecContextPtr OpenContainerEncoder(const CompressorInfo& codec, int quality, int width,
                                         int height, AVRational frameRate, bool globalHeader);

}  // namespace kelvane

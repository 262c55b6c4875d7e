#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "media/FfmpegHandles.h"

namespace kelvane {

// How the AVI writer sets up libavformat's AVI muxer: one video stream at rate / scale frames per
// second with the given codec parameters and INFO entries, and a sound stream when there is one.
// The muxer's output depends on nothing else, so the same setup fed the same packet sizes writes
// the same bytes; the writer relies on that to finish a file whose writing failed.
struct AviMuxerSetup {
    const AVCodecParameters* params = nullptr;  // not owned
    uint32_t rate = 0;
    uint32_t scale = 1;
    std::vector<std::pair<std::string, std::string>> info;
    // The sound stream's parameters when the file carries sound; not owned.
    const AVCodecParameters* soundParams = nullptr;
};

// The muxer context for `setup`, without its I/O; null when libavformat refuses it.
av::OutputContextPtr NewAviMuxer(const AviMuxerSetup& setup, const std::string& path);

// The options of the muxer's header.
void SetAviHeaderOptions(av::Dictionary& options);

}  // namespace kelvane

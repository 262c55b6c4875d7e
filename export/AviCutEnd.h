#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/AviMuxer.h"

namespace kelvane {

// One packet as the writer handed it to the muxer, and where the file ended once it was written.
struct AviPacketRecord {
    int64_t pts = 0;
    int64_t dts = 0;
    uint32_t size = 0;
    int flags = 0;
    uint64_t end = 0;
    int stream = 0;  // 0 the pictures, 1 the sound
    int64_t duration = 1;
};

// Finishes an AVI file whose writing failed part way (a full disk, a file size limit): the file
// is cut back to the end of the last packet that was written completely and given the ending the
// muxer would have written after it (the index, the RIFF and list sizes, the frame counts). The
// ending is found by feeding the same setup and packet sizes to a muxer whose output goes nowhere
// up to the cut. When there is no room for the ending, packets are given up from the end, one at
// a time, until it fits. `headerEnd` is where the file ended after the headers. Returns the
// number of packets the file holds, or -1 (with the errno value in `error`) when it could not be
// finished; then the file is left cut at the last complete packet.
int64_t FinishCutAvi(const std::string& path, const AviMuxerSetup& setup, uint64_t headerEnd,
                     const std::vector<AviPacketRecord>& packets, int& error);

}  // namespace kelvane

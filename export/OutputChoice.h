#pragma once

#include <memory>

#include "export/Compressor.h"
#include "export/FrameWriter.h"

namespace kelvane {

class CompressorChooser;
struct OutputContainer;

// What an export writes: the kind of file and the compressor chosen for it.
struct OutputChoice {
    const OutputContainer* container = nullptr;  // null or AVI: our own AVI writer
    const CompressorInfo* compressor = nullptr;  // nullptr: uncompressed AVI
    int quality = -1;  // 0 to 100 for the lossy encoders; -1 = their usual setting
};

// Offers the chooser the compressors of `container` (AVI's when null) and takes its answer into
// `choice`, which keeps the container in any case. False when the user cancels and when the
// answer names no offered compressor; the compressor is then none.
bool ChooseOutput(CompressorChooser& chooser, const OutputContainer* container,
                  OutputChoice& choice);

// The writer of the chosen kind of file, ready for Open: our AVI writer, or the libavformat
// writer of the container with its compressor. Null when a container other than AVI has no
// compressor chosen.
std::unique_ptr<FrameWriter> MakeFrameWriter(const OutputChoice& choice);

}  // namespace kelvane

#pragma once

#include <cstdint>
#include <string>

#include "export/AviWriter.h"
#include "export/FrameComposer.h"
#include "model/TrackEvent.h"
#include "render/PixelImage.h"

namespace kelvane {

// The project's output settings as the export reads them.
struct ExportSettings {
    int32_t width = 0;
    int32_t height = 0;
    double frameRate = 30.0;
    RefTime frameDuration = 333333;
    uint32_t length = 0;  // frames to write
    // The output frame written first: the file holds frames first to first + length - 1, each
    // composed exactly as an export from frame 0 composes it.
    uint32_t first = 0;
    uint32_t backgroundBgr = 0;  // 0x00BBGGRR
};

// The run-time state of an AVI export, kept with the project: the writer, two frame images that
// alternate so that the previous frame stays intact while the next one is drawn, the count of
// frames written and the flags that end the run.
class ExportJob {
  public:
    // Creates and fills both frame images, opens the writer on `path` (native, UTF-8) with the
    // compressor chosen before (uncompressed output when none was), resets the composition and
    // starts at the settings' first frame.
    bool Setup(const std::string& path, const ExportSettings& settings, FrameComposer& composer);

    // Composes output frame first + n into its image and writes it as the file's frame n. False
    // when the frame could not be written, or when a track failed to draw and abortOnDrawError is
    // set.
    bool ExportStep(FrameComposer& composer);

    // The image that holds the last frame written; nullptr before the first.
    const PixelImage* LastWrittenImage() const;

    uint32_t FramesWritten() const { return n_; }
    // The project's frame counter goes back to 0 when its settings change.
    void ResetFrameCounter() { n_ = 0; }

    AviWriter writer;
    bool stopped = false;  // ended by an error or a cancel
    bool done = false;     // every frame written and the file closed
    // Stop the export when an event fails to draw. Kept from one export to the next.
    bool abortOnDrawError = false;

  private:
    PixelImage images_[2];
    uint32_t n_ = 0;
    uint32_t first_ = 0;
    uint32_t backgroundBgr_ = 0;
};

}  // namespace kelvane

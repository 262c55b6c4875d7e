#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportPipeline.h"
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

// The run-time state of an AVI export, kept by the export command for the open project: the
// writer, two frame images that alternate, the count of frames written and the flags that end the
// run. The writer works on a thread of its own: frame n + 1 is composed into one image while
// frame n is encoded and written from the other.
class ExportJob {
  public:
    // Creates and fills both frame images, opens the writer on `path` (native, UTF-8) with the
    // compressor chosen before (uncompressed output when none was), resets the composition and
    // starts at the settings' first frame.
    bool Setup(const std::string& path, const ExportSettings& settings, FrameComposer& composer);

    // Composes output frame first + n into its image and hands it to the writer as the file's
    // frame n. False when a frame could not be written (this one or, as the writer runs behind,
    // the one before), or when a track failed to draw and abortOnDrawError is set. The last frame
    // of the range is written before the step returns, so that a failure to write it fails its
    // own step.
    bool ExportStep(FrameComposer& composer);

    // The image that holds the last frame handed to the writer; nullptr before the first. It
    // stays unchanged until the next step.
    const PixelImage* LastWrittenImage() const;

    // Frames handed to the writer. Once the writer is closed, no more than the file holds.
    uint32_t FramesWritten() const;

    ExportPipeline writer;
    // Where the time of each frame goes (may be null; not owned), for the benchmarks.
    ExportTimeline* timeline = nullptr;
    bool stopped = false;  // ended by an error or a cancel
    bool done = false;     // every frame written and the file closed
    // Stop the export when an event fails to draw. Kept from one export to the next; the progress
    // window's check box may change it while a frame is drawn.
    std::atomic<bool> abortOnDrawError{false};
    // Once the writer is open, the composing thread and the drawing workers yield the processor
    // to the writer's and the encoder's threads: a frame is composed far sooner than it is
    // encoded, so an encoder that keeps every core busy runs at its own pace and composition
    // takes what it leaves. The priority is never given back (an ordinary user cannot), so only
    // a process that ends with its export sets this.
    bool yieldToWriter = false;
    // The sound: left out altogether, or written with this audio codec (by name) rather than the
    // container's default. A project without sound never gets a sound stream.
    bool noSound = false;
    std::string soundCodec;

  private:
    PixelImage images_[2];
    uint32_t n_ = 0;
    uint32_t first_ = 0;
    uint32_t length_ = 0;
    uint32_t backgroundBgr_ = 0;
    RefTime frameDuration_ = 0;
    bool sound_ = false;
    // Each frame's sound, alternating like the images.
    std::vector<float> soundBuffers_[2];
};

}  // namespace kelvane

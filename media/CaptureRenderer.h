#pragma once

#include "media/SampleSlot.h"
#include "media/pipeline/RendererBase.h"

namespace kelvane {

// The movie reader's sink: accepts bottom-up 32-bit RGB video only and hands each decoded sample
// to the reader through its SampleSlot.
class CaptureRenderer : public RendererBase {
  public:
    // The name under which the reader adds it to its graph.
    static constexpr const char* kName = "Capture Renderer";
    static constexpr MediaGuid kClassId{{0x4B, 0x56, 0x43, 0x52, 0x2D, 0x63, 0x61, 0x70, 0x74, 0x75,
                                         0x72, 0x65, 0x2D, 0x30, 0x30, 0x31}};

    CaptureRenderer() = default;
    ~CaptureRenderer() override = default;

    MediaCheck CheckMediaType(const MediaType& type) override;
    bool SetMediaType(const MediaType& type) override;
    void RenderSample(const SamplePtr& sample) override;
    void NotifyMayWait(bool mayWait) override;
    // A stopped slot drops samples.
    bool Accepting() const override { return !slot_.Stopped(); }

    const VideoInfoHeader& ConnectedFormat() const { return format_; }
    SampleSlot& Slot() { return slot_; }
    // Before the pipeline runs.
    void SetFrameMode(bool frameMode, RefTime frameDuration) {
        slot_.SetFrameMode(frameMode, frameDuration);
    }

  private:
    VideoInfoHeader format_{};
    SampleSlot slot_;
};

}  // namespace kelvane

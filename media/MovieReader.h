#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "media/CaptureRenderer.h"
#include "media/pipeline/MediaGraph.h"
#include "model/TrackEvent.h"

namespace kelvane {

class PixelImage;

// Random access to single frames of a movie, as bottom-up 32-bit RGB. A decoding graph ending in
// the CaptureRenderer runs from Open to Close without a clock; each request either steps forward
// through the decoded stream or seeks and lets the pipeline run up to the wanted frame. Used from
// one thread (the user-interface thread); the graph's streaming thread meets it in the sink's slot.
class MovieReader {
  public:
    MovieReader();
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    // Builds and starts the graph. `referenceFrameDuration` null or <= 0: the stream's own.
    bool Open(std::u16string_view path, const MediaGuid& requiredSubtype,
              const RefTime* referenceFrameDuration);
    // Frame `index` relative to the first frame into `destination` (`size` bytes, the layout of a
    // 32-bit bottom-up PixelImage). `readEverySample` is the step mode of the first attempt.
    // A failed fetch may still have changed the destination.
    bool ReadFrame(int32_t index, uint8_t* destination, size_t size, bool readEverySample);
    // Stops and releases everything; the reader may be opened again. Never waits on a blocked
    // streaming thread.
    void Close();

    bool IsOpen() const { return open_; }
    int32_t Width() const { return format_.bmiHeader.width; }
    int32_t Height() const { return format_.bmiHeader.height; }
    RefTime FrameDuration() const { return frameDuration_; }
    uint32_t FirstFrame() const { return firstFrame_; }
    uint32_t LastFrame() const { return lastFrame_; }
    bool FrameMode() const { return frameMode_; }
    const std::u16string& Path() const { return path_; }
    // The graph while created; null otherwise.
    const MediaGraph* Graph() const { return graph_.get(); }
    // Whether the movie has alpha; frames read after SetKeepAlpha(true) carry it as straight alpha
    // in their fourth byte.
    bool HasAlpha() const { return graph_ && graph_->HasAlpha(); }
    void SetKeepAlpha(bool keep) {
        if (graph_)
            graph_->SetKeepAlpha(keep);
    }

    // What the movie source uses: open for 32-bit RGB, the frame count, and one frame into an
    // image of the movie's size (created or resized when it does not match) with the
    // "ReadEverySample" setting.
    bool Open(std::u16string_view path, RefTime referenceFrameDuration);
    uint32_t FrameCount() const { return lastFrame_ - firstFrame_; }
    bool GetFrame(int32_t index, PixelImage& image);

  private:
    enum class Outcome { Success, Failure, Retry };
    struct Window {
        int64_t w0, w1, lo;
    };

    bool OpenGraph(std::u16string_view path, const MediaGuid& requiredSubtype,
                   const RefTime* referenceFrameDuration);
    bool ConnectSink();
    // `steppingBack`: the request lies before the one before it.
    Outcome Attempt(int32_t index, uint8_t* destination, size_t size, bool step, bool steppingBack);
    Outcome StepForward(const Window& w, uint8_t* destination, size_t size, bool step);
    Window WindowFor(uint32_t a, bool step) const;
    // Serves frame `a` from the graph's cache of decoded pictures, converting it into the
    // destination; false when the cache does not hold it.
    bool ServeFromCache(uint32_t a, uint8_t* destination, size_t size);
    // How many frames before a seek's start the cache can take.
    int64_t CacheSpan() const;
    bool CheckEvents();
    // Waits in rounds of "AbortTimeout", asking the TimeoutQuery (or letting the TimeoutPolicy
    // decide, told whether the decoder has made progress) after each round; false when the answer
    // is to give up.
    bool WaitOrAsk(Event& event);
    // The short wait before a request for a sample that may be on its way.
    void WaitForSampleInFlight();

    bool created_ = false;
    bool open_ = false;
    std::unique_ptr<MediaGraph> graph_;
    std::shared_ptr<CaptureRenderer> sink_;
    std::u16string path_;
    MediaGuid requiredSubtype_ = kMediaSubtypeRgb32;
    VideoInfoHeader format_{};
    RefTime frameDuration_ = 0;
    bool frameMode_ = false;
    uint32_t firstFrame_ = 0;
    uint32_t lastFrame_ = 0;
    // The last frame asked for (absolute); a request before it is a step backwards.
    int64_t lastRequest_ = -1;
    // The frame being fetched, as asked (for the timeout's report).
    int32_t requestedFrame_ = 0;
};

}  // namespace kelvane

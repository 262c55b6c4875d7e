#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "media/pipeline/FrameCache.h"
#include "media/pipeline/MediaSample.h"
#include "media/pipeline/MovieDecoder.h"
#include "media/pipeline/RendererBase.h"

namespace kelvane {

// Codes of the graph's event queue.
namespace GraphEventCode {
constexpr int32_t kComplete = 1;
constexpr int32_t kErrorAbort = 3;
constexpr int32_t kStreamErrorStopped = 6;
constexpr int32_t kDeviceLost = 31;
}  // namespace GraphEventCode

struct GraphEvent {
    int32_t code = 0;
    int64_t param1 = 0;
    int64_t param2 = 0;
};

enum class TimeFormat { Frame, MediaTime };

// Seeking capabilities.
constexpr uint32_t kSeekCanSeekAbsolute = 0x1;
constexpr uint32_t kSeekCanSeekForwards = 0x2;
constexpr uint32_t kSeekCanSeekBackwards = 0x4;
constexpr uint32_t kSeekCanGetDuration = 0x100;

// A decoding pipeline from one movie file to one sink: the source with its video streams as output
// pins, a decoder and converter inserted on connection, seeking in frame numbers or media time,
// run and stop, and a streaming thread that decodes and hands samples to the sink as fast as it
// can. Control calls come from one thread at a time; the sink is called on the streaming thread.
class MediaGraph {
  public:
    MediaGraph();
    ~MediaGraph();
    MediaGraph(const MediaGraph&) = delete;
    MediaGraph& operator=(const MediaGraph&) = delete;

    bool AddSourceFilter(std::u16string_view path, const std::string& name);
    bool AddFilter(std::shared_ptr<RendererBase> sink, const std::string& name);

    // The source's output pins: one per video stream.
    int OutputPinCount() const;
    bool IsOutputPinConnected(int pin) const;
    // Connects an output pin of the source to the sink's input, inserting the decoder and the
    // converter to bottom-up 32-bit RGB. The sink's type check decides.
    bool Connect(int pin);

    // Frame numbers are offered only where they name pictures exactly.
    bool SetTimeFormat(TimeFormat format);
    bool GetCapabilities(uint32_t& capabilities) const;
    // In the current time format.
    bool GetAvailable(int64_t& earliest, int64_t& latest) const;
    // Absolute start and stop in the current time format. The streaming thread delivers the
    // pictures from the start up to, not including, the stop; samples carry times relative to the
    // start. While running, the pipeline flushes first and tells the sink that its streaming thread
    // may not wait.
    bool SetPositions(int64_t start, int64_t stop);
    // No clock: samples go out as fast as they decode. The pipeline has no other mode; the call is
    // kept for the order of operations the reader follows.
    void SetNoSyncSource() {}
    bool Run();
    void Stop();
    // From the next Run on, the streaming thread decodes nothing until a sample is asked for
    // (Demand) or positions are set again: a movie is opened with positions from its start, and
    // a first request elsewhere would only throw that decoding away.
    void DeferStart();
    bool Deferred() const;
    void Demand();

    // Takes the oldest pending event without waiting; false when there is none.
    bool GetEvent(GraphEvent& event);
    // True when the streaming thread has delivered everything up to the stop position (or met an
    // error) and nothing more arrives before the next seek.
    bool StreamEnded() const;

    // Decoded pictures around the last request. From the next SetPositions on, the pictures of up
    // to `frames` frames before the start (see BackwardWindow) and the start's own are decoded in
    // full and kept in it, as far as its budget allows; 0 keeps none, and pictures before the start
    // that no later picture needs are then not decoded at all.
    FrameCache& Cache() { return cache_; }
    const FrameCache& Cache() const { return cache_; }
    void SetCacheBehind(int64_t frames) { cacheBehind_.store(std::max<int64_t>(frames, 0)); }

    // How often positions were set, and the last start; for diagnostics and tests.
    uint64_t SeekCount() const { return seekCount_.load(); }
    int64_t LastSeekStart() const { return lastSeekStart_.load(); }
    // Pictures decoded since the file was opened.
    uint64_t DecodedFrames() const { return decoder_.DecodedCount(); }
    // Whether the connected stream has alpha, and whether delivered pictures keep it.
    bool HasAlpha() const { return decoder_.HasAlpha(); }
    void SetKeepAlpha(bool keep) { decoder_.SetKeepAlpha(keep); }

  private:
    // Frames a backward pass keeps before its start, at least (when the budget allows).
    static constexpr int64_t kMinBackwardWindow = 8;
    // A backward pass that starts at most this many frames before the last one's window goes on
    // with the same run of steps.
    static constexpr int64_t kRunGap = 32;
    int64_t BackwardWindow(int64_t start, int64_t behind, int64_t unit);
    void StreamLoop();
    bool DeliverOne(bool frameUnits, int64_t start, int64_t stop, int64_t cacheFrom);
    void PushEvent(int32_t code);
    void ParkStreamingThread(std::unique_lock<std::mutex>& lock);

    std::mutex control_;  // one control call at a time
    MovieDecoder decoder_;
    bool sourceAdded_ = false;
    std::shared_ptr<RendererBase> sink_;
    int connectedPin_ = -1;
    FrameCache cache_;
    std::atomic<int64_t> cacheBehind_{0};
    // Where the last backward pass's window began; the lowest value when the last pass was none.
    int64_t previousWindowFrom_ = std::numeric_limits<int64_t>::min();
    TimeFormat timeFormat_ = TimeFormat::MediaTime;

    mutable std::mutex mutex_;  // guards the fields below
    std::condition_variable changed_;
    bool running_ = false;
    bool flushing_ = false;
    bool busy_ = false;  // the streaming thread is decoding or inside the sink
    bool ended_ = false;
    bool quit_ = false;
    bool deferred_ = false;
    int64_t start_ = 0;
    int64_t stop_ = 0;
    // Pictures from here on go into the cache; the largest value: none.
    int64_t cacheFrom_ = std::numeric_limits<int64_t>::max();
    bool frameUnits_ = false;
    std::thread thread_;

    std::atomic<uint64_t> seekCount_{0};
    std::atomic<int64_t> lastSeekStart_{0};

    std::mutex eventMutex_;
    std::deque<GraphEvent> events_;
};

}  // namespace kelvane

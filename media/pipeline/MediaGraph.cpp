#include "media/pipeline/MediaGraph.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "platform/Path.h"

namespace kelvane {

MediaGraph::MediaGraph() = default;

MediaGraph::~MediaGraph() {
    Stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool MediaGraph::AddSourceFilter(std::u16string_view path, const std::string&) {
    std::lock_guard<std::mutex> control(control_);
    if (sourceAdded_)
        return false;
    sourceAdded_ = decoder_.Open(ToNativePath(path));
    return sourceAdded_;
}

bool MediaGraph::AddFilter(std::shared_ptr<RendererBase> sink, const std::string&) {
    std::lock_guard<std::mutex> control(control_);
    if (!sink || sink_)
        return false;
    sink_ = std::move(sink);
    return true;
}

int MediaGraph::OutputPinCount() const {
    return sourceAdded_ ? decoder_.VideoStreamCount() : 0;
}

bool MediaGraph::IsOutputPinConnected(int pin) const {
    return pin >= 0 && pin == connectedPin_;
}

bool MediaGraph::Connect(int pin) {
    std::lock_guard<std::mutex> control(control_);
    if (!sourceAdded_ || !sink_ || connectedPin_ >= 0)
        return false;
    if (pin < 0 || pin >= decoder_.VideoStreamCount())
        return false;
    MediaType offered;
    if (!decoder_.Prepare(pin, offered))
        return false;
    if (sink_->CheckMediaType(offered) != MediaCheck::Ok)
        return false;
    if (!sink_->SetMediaType(offered))
        return false;
    connectedPin_ = pin;
    std::lock_guard<std::mutex> lock(mutex_);
    start_ = 0;
    stop_ = timeFormat_ == TimeFormat::Frame ? decoder_.FrameCount() : decoder_.Duration();
    return true;
}

bool MediaGraph::SetTimeFormat(TimeFormat format) {
    std::lock_guard<std::mutex> control(control_);
    if (connectedPin_ < 0)
        return false;
    if (format == TimeFormat::Frame && !decoder_.FrameExact())
        return false;
    timeFormat_ = format;
    return true;
}

bool MediaGraph::GetCapabilities(uint32_t& capabilities) const {
    if (connectedPin_ < 0)
        return false;
    capabilities =
        kSeekCanSeekAbsolute | kSeekCanSeekForwards | kSeekCanSeekBackwards | kSeekCanGetDuration;
    return true;
}

bool MediaGraph::GetAvailable(int64_t& earliest, int64_t& latest) const {
    if (connectedPin_ < 0)
        return false;
    earliest = 0;
    latest = timeFormat_ == TimeFormat::Frame ? decoder_.FrameCount() : decoder_.Duration();
    return true;
}

// Waits until the streaming thread is neither decoding nor inside the sink. Callers have set
// flushing_ or cleared running_, so it does not start again.
void MediaGraph::ParkStreamingThread(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !busy_; });
}

// How many frames before `start` a backward pass keeps. Every reference picture from the key frame
// up to the start is decoded anyway; each kept picture that no other picture needs costs one more.
// A run of steps that begins reaches halfway back to the key frame: a short run does not pay for a
// window it never uses. A run that has stepped through that window and goes on gets the rest of
// the way to the key frame in one pass, so that a run all the way back decodes about one and a
// quarter pictures per step. The budget may allow less.
int64_t MediaGraph::BackwardWindow(int64_t start, int64_t behind, int64_t unit) {
    const int64_t previous = previousWindowFrom_;
    previousWindowFrom_ = std::numeric_limits<int64_t>::min();
    int64_t key = 0;
    int64_t frames = behind;
    const bool goesOn = start < previous && start >= previous - kRunGap * unit;
    if (!goesOn && decoder_.KeyPosition(key) && key <= start)
        frames = std::min(behind, std::max((start - key) / unit / 2 + 1, kMinBackwardWindow));
    previousWindowFrom_ = start - frames * unit;
    return frames;
}

bool MediaGraph::SetPositions(int64_t start, int64_t stop) {
    std::lock_guard<std::mutex> control(control_);
    if (connectedPin_ < 0 || start < 0 || stop < start)
        return false;
    const bool frameUnits = timeFormat_ == TimeFormat::Frame;
    seekCount_.fetch_add(1);
    lastSeekStart_.store(start);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flushing_ = true;
    }
    // A streaming thread blocked in the sink has to leave it before the decoder can be moved.
    sink_->SetStreaming(false);
    sink_->NotifyMayWait(false);
    bool ok;
    bool running;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ParkStreamingThread(lock);
        ok = decoder_.Seek(frameUnits, start);
        const int64_t unit = frameUnits ? 1 : std::max<RefTime>(decoder_.AvgTimePerFrame(), 1);
        const int64_t behind = std::min(cacheBehind_.load(), start / unit + 1);
        if (behind > 0) {
            cacheFrom_ = start - BackwardWindow(start, behind, unit) * unit;
        } else {
            cacheFrom_ = std::numeric_limits<int64_t>::max();
            previousWindowFrom_ = std::numeric_limits<int64_t>::min();
        }
        decoder_.SetSkipBefore(std::min(start, cacheFrom_));
        start_ = start;
        stop_ = stop;
        frameUnits_ = frameUnits;
        ended_ = !ok;
        deferred_ = false;
        running = running_;
    }
    if (running) {
        sink_->NotifyMayWait(true);
        sink_->SetStreaming(true);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flushing_ = false;
    }
    changed_.notify_all();
    return ok;
}

bool MediaGraph::Run() {
    std::lock_guard<std::mutex> control(control_);
    if (connectedPin_ < 0)
        return false;
    sink_->NotifyMayWait(true);
    sink_->SetStreaming(true);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = true;
        frameUnits_ = timeFormat_ == TimeFormat::Frame;
    }
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { StreamLoop(); });
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = false;
            return false;
        }
    }
    changed_.notify_all();
    return true;
}

void MediaGraph::DeferStart() {
    std::lock_guard<std::mutex> lock(mutex_);
    deferred_ = true;
}

bool MediaGraph::Deferred() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return deferred_;
}

void MediaGraph::Demand() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deferred_ = false;
    }
    changed_.notify_all();
}

void MediaGraph::Stop() {
    std::lock_guard<std::mutex> control(control_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_)
            return;
        running_ = false;
    }
    if (sink_) {
        sink_->SetStreaming(false);
        sink_->NotifyMayWait(false);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    ParkStreamingThread(lock);
}

bool MediaGraph::GetEvent(GraphEvent& event) {
    std::lock_guard<std::mutex> lock(eventMutex_);
    if (events_.empty())
        return false;
    event = events_.front();
    events_.pop_front();
    return true;
}

bool MediaGraph::StreamEnded() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_ && !busy_ && !flushing_;
}

void MediaGraph::PushEvent(int32_t code) {
    std::lock_guard<std::mutex> lock(eventMutex_);
    // Nobody may be reading the queue; completions are dropped first when it grows.
    if (events_.size() >= 256) {
        auto it = std::find_if(events_.begin(), events_.end(), [](const GraphEvent& e) {
            return e.code == GraphEventCode::kComplete;
        });
        if (it == events_.end())
            return;
        events_.erase(it);
    }
    events_.push_back(GraphEvent{code, 0, 0});
}

void MediaGraph::StreamLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(
            lock, [this] { return quit_ || (running_ && !flushing_ && !ended_ && !deferred_); });
        if (quit_)
            return;
        if (!sink_->Accepting()) {
            // Pictures decoded now would be dropped: the reader is on its way to set positions,
            // which wakes this thread. The short wait covers a sink re-opened without that.
            changed_.wait_for(lock, std::chrono::milliseconds(2));
            continue;
        }
        busy_ = true;
        const bool frameUnits = frameUnits_;
        const int64_t start = start_;
        const int64_t stop = stop_;
        const int64_t cacheFrom = cacheFrom_;
        lock.unlock();
        const bool more = DeliverOne(frameUnits, start, stop, cacheFrom);
        lock.lock();
        busy_ = false;
        if (!more)
            ended_ = true;
        changed_.notify_all();
    }
}

// Decodes one picture and hands it to the sink unless it lies before the start (decoded only
// because decoding begins at a key frame, or to be kept in the cache) or at or after the stop.
// False when the stream has ended.
bool MediaGraph::DeliverOne(bool frameUnits, int64_t start, int64_t stop, int64_t cacheFrom) {
    int64_t index = 0;
    RefTime time = 0;
    int32_t error = 0;
    switch (decoder_.Next(index, time, error)) {
        case MovieDecoder::Result::End:
            PushEvent(GraphEventCode::kComplete);
            return false;
        case MovieDecoder::Result::Error:
            PushEvent(error);
            return false;
        case MovieDecoder::Result::Frame:
            break;
    }
    RefTime relative;
    bool before;
    const int64_t position = frameUnits ? index : time;
    if (frameUnits) {
        before = index < start;
        if (!before && index >= stop) {
            PushEvent(GraphEventCode::kComplete);
            return false;
        }
        relative = (index - start) * decoder_.AvgTimePerFrame();
    } else {
        // A picture belongs to the position it is shown at: within half a frame of its time.
        const RefTime half = decoder_.AvgTimePerFrame() / 2;
        before = time < start - half;
        if (!before && time + half >= stop) {
            PushEvent(GraphEventCode::kComplete);
            return false;
        }
        relative = time - start;
    }
    const bool keep = position + (frameUnits ? 0 : decoder_.AvgTimePerFrame() / 2) >= cacheFrom;
    if (before && !keep)
        return true;
    PicturePtr picture = decoder_.TakePicture(index, time);
    if (!picture) {
        PushEvent(GraphEventCode::kErrorAbort);
        return false;
    }
    if (keep)
        cache_.Insert(picture);
    if (before)
        return true;
    SamplePtr sample;
    try {
        sample = std::make_shared<MediaSample>(std::move(picture));
    } catch (const std::bad_alloc&) {
        PushEvent(GraphEventCode::kErrorAbort);
        return false;
    }
    sample->SetTime(relative);
    sample->SetMediaTime(relative);
    sink_->Receive(sample);
    // In frame units nothing can come before the stop once the picture just before it is out: the
    // stream ends here rather than decode a picture only to drop it.
    if (frameUnits && index + 1 >= stop) {
        PushEvent(GraphEventCode::kComplete);
        return false;
    }
    return true;
}

}  // namespace kelvane

#include "media/MovieReader.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "media/TimeoutQuery.h"
#include "render/PixelImage.h"
#include "settings/AppSettings.h"

namespace kelvane {

namespace {

constexpr int kMaxPinTries = 17;

bool IsFatal(int32_t code) {
    return code == GraphEventCode::kErrorAbort || code == GraphEventCode::kStreamErrorStopped ||
           code == GraphEventCode::kDeviceLost;
}

uint32_t ClampToFrame(int64_t v) {
    return uint32_t(std::clamp<int64_t>(v, 0, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

MovieReader::MovieReader() = default;

MovieReader::~MovieReader() {
    Close();
}

bool MovieReader::Open(std::u16string_view path, RefTime referenceFrameDuration) {
    return Open(path, kMediaSubtypeRgb32, &referenceFrameDuration);
}

bool MovieReader::Open(std::u16string_view path, const MediaGuid& requiredSubtype,
                       const RefTime* referenceFrameDuration) {
    if (created_ || open_)
        Close();
    if (OpenGraph(path, requiredSubtype, referenceFrameDuration))
        return true;
    Close();
    return false;
}

bool MovieReader::ConnectSink() {
    // Starting at the source, the first output pin that connects to the sink's input wins. A pin
    // that is connected already leads to the sink itself, which has no output pins to go on with.
    for (int i = 0; i < kMaxPinTries; ++i) {
        if (i >= graph_->OutputPinCount())
            continue;
        if (graph_->IsOutputPinConnected(i))
            continue;
        if (graph_->Connect(i))
            return true;
    }
    return false;
}

bool MovieReader::OpenGraph(std::u16string_view path, const MediaGuid& requiredSubtype,
                            const RefTime* referenceFrameDuration) {
    graph_ = std::make_unique<MediaGraph>();
    created_ = true;
    if (!graph_->AddSourceFilter(path, "File"))
        return false;
    path_ = std::u16string(path);
    requiredSubtype_ = requiredSubtype;
    // The sink delivers 32-bit RGB and nothing else.
    if (!(requiredSubtype_ == kMediaSubtypeRgb32))
        return false;

    sink_ = std::make_shared<CaptureRenderer>();
    if (!graph_->AddFilter(sink_, CaptureRenderer::kName))
        return false;
    if (!ConnectSink())
        return false;

    if (Settings().forceReferenceTime != 0) {
        if (!graph_->SetTimeFormat(TimeFormat::MediaTime))
            return false;
        frameMode_ = false;
    } else if (graph_->SetTimeFormat(TimeFormat::Frame)) {
        frameMode_ = true;
    } else {
        if (!graph_->SetTimeFormat(TimeFormat::MediaTime))
            return false;
        frameMode_ = false;
    }

    format_ = sink_->ConnectedFormat();
    uint32_t capabilities = 0;
    if (!graph_->GetCapabilities(capabilities) || !(capabilities & kSeekCanSeekAbsolute))
        return false;
    int64_t earliest = 0, latest = 0;
    if (!graph_->GetAvailable(earliest, latest))
        return false;

    frameDuration_ = referenceFrameDuration && *referenceFrameDuration > 0
                         ? *referenceFrameDuration
                         : format_.avgTimePerFrame;
    if (frameDuration_ <= 0)
        return false;

    if (frameMode_) {
        firstFrame_ = ClampToFrame(earliest);
        lastFrame_ = ClampToFrame(latest);
    } else {
        firstFrame_ = ClampToFrame(earliest / frameDuration_);
        lastFrame_ = ClampToFrame(latest / frameDuration_);
    }
    // A movie without a single frame has nothing to show.
    if (lastFrame_ <= firstFrame_)
        return false;

    if (!graph_->SetPositions(0, latest))
        return false;
    // Frame-mode sample times count in the stream's own frames, which a reference duration given
    // for the movie must not rescale; media-time positions need no rounding.
    sink_->SetFrameMode(frameMode_, frameMode_ ? format_.avgTimePerFrame : frameDuration_);
    graph_->SetNoSyncSource();
    graph_->DeferStart();
    if (!graph_->Run())
        return false;
    open_ = true;
    return true;
}

void MovieReader::Close() {
    if (sink_) {
        SampleSlot& slot = sink_->Slot();
        slot.Stop();
        if (graph_)
            graph_->Stop();
        slot.Reopen();
        slot.Stop();
    }
    graph_.reset();  // ends the streaming thread
    sink_.reset();
    path_.clear();
    format_ = VideoInfoHeader{};
    frameDuration_ = 0;
    frameMode_ = false;
    firstFrame_ = 0;
    lastFrame_ = 0;
    lastRequest_ = -1;
    open_ = false;
    created_ = false;
}

bool MovieReader::CheckEvents() {
    GraphEvent event;
    while (graph_->GetEvent(event))
        if (IsFatal(event.code))
            return false;
    return true;
}

bool MovieReader::WaitOrAsk(Event& event) {
    using Clock = std::chrono::steady_clock;
    uint64_t decoded = graph_->DecodedFrames();
    Clock::time_point movedAt = Clock::now();
    for (;;) {
        if (WaitEventFor(event, AbortTimeoutMs()))
            return true;
        // A decoder that is still at work is slow, not stuck.
        const uint64_t now = graph_->DecodedFrames();
        MovieWait wait;
        wait.path = path_;
        wait.frame = requestedFrame_;
        wait.progressed = now != decoded;
        decoded = now;
        if (wait.progressed)
            movedAt = Clock::now();
        wait.stalled =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - movedAt);
        wait.finished = graph_->StreamEnded();
        if (!AskTimeoutContinue(wait))
            return false;
    }
}

void MovieReader::WaitForSampleInFlight() {
    // A sample may be on its way; but once the pipeline has delivered everything up to its stop
    // position, none comes, and waiting out the whole time limit would only stall every request
    // near the end of a movie.
    using Clock = std::chrono::steady_clock;
    const uint32_t limit = AbortTimeoutMs();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    Event& sample = sink_->Slot().SampleEvent();
    if (graph_->Deferred())
        return;  // nothing decoded yet, so nothing on its way
    for (;;) {
        if (sample.WaitFor(0))
            return;
        if (graph_->StreamEnded())
            return;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return;
        if (sample.WaitFor(uint32_t(std::min<int64_t>(left, 5))))
            return;
    }
}

MovieReader::Window MovieReader::WindowFor(uint32_t a, bool step) const {
    const AppSettings& s = Settings();
    const int64_t k = int64_t(s.framePrev) + (step ? int64_t(s.frameBack) : 0);
    Window w;
    if (frameMode_) {
        w.w0 = a;
        w.w1 = int64_t(a) + 1;
        w.lo = int64_t(a) - k;
    } else {
        const int64_t d = frameDuration_;
        w.w0 = int64_t(a) * d - d / 2;
        w.w1 = w.w0 + d;
        w.lo = w.w0 - d / 2 - k * d;
    }
    return w;
}

bool MovieReader::ServeFromCache(uint32_t a, uint8_t* destination, size_t size) {
    FrameCache& cache = graph_->Cache();
    const RefTime unit = frameMode_ ? format_.avgTimePerFrame : frameDuration_;
    cache.SetFocus(int64_t(a) * unit);
    PicturePtr picture;
    if (frameMode_) {
        picture = cache.FindIndex(a);
    } else {
        const Window w = WindowFor(a, false);
        picture = cache.FindTime(w.w0, w.w1);
    }
    return picture && size <= picture->ConvertedSize() && picture->ConvertInto(destination, size);
}

int64_t MovieReader::CacheSpan() const {
    const FrameCache& cache = graph_->Cache();
    const size_t budget = FrameCache::Budget();
    const size_t others = FrameCache::ProcessBytes() - cache.Bytes();
    if (others >= budget)
        return 0;
    // A decoded picture is at least its 4:2:0 planes; the cache's own pictures say better.
    size_t perPicture = size_t(Width()) * size_t(Height()) * 3 / 2;
    if (cache.Count() > 0)
        perPicture = std::max(perPicture, cache.Bytes() / cache.Count());
    return int64_t(std::min<size_t>((budget - others) / std::max<size_t>(perPicture, 1), 4096));
}

bool MovieReader::ReadFrame(int32_t index, uint8_t* destination, size_t size,
                            bool readEverySample) {
    bool steppingBack = false;
    requestedFrame_ = index;
    if (open_ && uint32_t(index) + firstFrame_ < lastFrame_) {
        const uint32_t a = uint32_t(index) + firstFrame_;
        if (ServeFromCache(a, destination, size)) {
            lastRequest_ = a;
            return true;
        }
        // Stepping backwards: the frames before this one are decoded on the way to it anyway;
        // kept, they serve the next steps without another seek.
        steppingBack = lastRequest_ > int64_t(a);
        graph_->SetCacheBehind(steppingBack ? CacheSpan() : 0);
        lastRequest_ = a;
    }
    bool step = readEverySample;
    for (;;) {
        const Outcome r = Attempt(index, destination, size, step, steppingBack);
        if (r == Outcome::Success)
            return true;
        if (r == Outcome::Failure || step)
            return false;
        step = true;  // the second, slower attempt
    }
}

MovieReader::Outcome MovieReader::StepForward(const Window& w, uint8_t* destination, size_t size,
                                              bool step) {
    SampleSlot& slot = sink_->Slot();
    int64_t p = 0;
    if (!slot.Peek(p))
        return Outcome::Retry;
    bool copied = false;
    while (p < w.w0) {
        if (step)
            copied = slot.Copy(destination, size);
        slot.Reopen();
        if (!CheckEvents())
            return Outcome::Retry;
        if (!WaitOrAsk(slot.SampleEvent()))
            return Outcome::Failure;
        if (!slot.Peek(p))
            return Outcome::Retry;  // woken by a stop, not by a sample
        if (p < w.lo || p >= w.w1)
            break;
    }
    if (w.w0 <= p && p < w.w1) {
        const bool ok = slot.Copy(destination, size);
        slot.Reopen();
        const bool events = CheckEvents();
        return events && ok ? Outcome::Success : Outcome::Retry;
    }
    return copied ? Outcome::Success : Outcome::Retry;
}

MovieReader::Outcome MovieReader::Attempt(int32_t index, uint8_t* destination, size_t size,
                                          bool step, bool steppingBack) {
    if (!open_)
        return Outcome::Failure;
    const uint32_t a = uint32_t(index) + firstFrame_;
    if (a >= lastFrame_)
        return Outcome::Failure;
    SampleSlot& slot = sink_->Slot();

    Window w = WindowFor(a, step);
    // The graph waits for the first request before it decodes from the start: one that stepping
    // forward from the first picture serves lets it go, any other seeks.
    if (graph_->Deferred() && w.lo <= 0 && 0 < w.w1)
        graph_->Demand();
    WaitForSampleInFlight();
    if (!CheckEvents())
        return Outcome::Retry;

    int64_t p = 0;
    bool held = slot.Peek(p);
    if (held && w.lo <= p && p < w.w1)
        return StepForward(w, destination, size, step);

    // Seek. The streaming thread is pulled out of the slot first, so that the pipeline's flush
    // never waits on it.
    if (held)
        slot.Reopen();
    slot.Stop();
    if (!WaitOrAsk(slot.SlotLock()))
        return Outcome::Failure;
    const AppSettings& settings = Settings();
    const uint32_t n = uint32_t(settings.frameNext);
    const uint32_t b = uint32_t(settings.frameBack);
    const uint32_t startFrame = step ? (a > b ? a - b : 0) : a;
    // The target itself is always delivered: a stop right at it would leave nothing to show.
    // Stepping backwards, the pictures after the target are not wanted: the pass ends with it.
    const uint32_t beyond = steppingBack ? 1 : std::max<uint32_t>(n, 1);
    const uint32_t stopFrame = beyond < lastFrame_ - a ? a + beyond : lastFrame_;
    int64_t start, stop;
    if (frameMode_) {
        start = startFrame;
        stop = stopFrame;
    } else {
        start = int64_t(startFrame) * frameDuration_;
        stop = int64_t(stopFrame) * frameDuration_;
    }
    slot.SetPositionOffsetLocked(start);
    slot.SlotLock().Set();
    // The pipeline's flush re-opens the slot through the sink's notification.
    if (!graph_->SetPositions(start, stop))
        return Outcome::Retry;
    if (!graph_->Run())
        return Outcome::Retry;
    if (!CheckEvents())
        return Outcome::Retry;

    if (!WaitOrAsk(slot.SampleEvent()))
        return Outcome::Failure;
    if (!CheckEvents())
        return Outcome::Retry;
    w = WindowFor(a, step);
    held = slot.Peek(p);
    // Stepping from here decides; an answer to give up on a timeout ends the fetch rather than
    // starting the slower attempt, which would only ask again.
    if (held && w.lo <= p && p < w.w1)
        return StepForward(w, destination, size, step);

    // The pipeline came back elsewhere than asked.
    if (held)
        slot.Reopen();
    if (!step)
        return Outcome::Retry;
    for (;;) {
        // Show the first frame the pipeline delivers, but report that it is not the one asked.
        if (slot.Copy(destination, size))
            return Outcome::Failure;
        slot.Reopen();
        if (!CheckEvents())
            return Outcome::Failure;
        if (!WaitOrAsk(slot.SampleEvent()))
            return Outcome::Failure;
    }
}

bool MovieReader::GetFrame(int32_t index, PixelImage& image) {
    if (!open_)
        return false;
    if (image.Empty() || image.Width() != Width() || image.Height() != Height() ||
        image.BitsPerPixel() != 32) {
        if (!image.Create(Width(), Height(), 32))
            return false;
    }
    return ReadFrame(index, image.Pixels(), image.ByteSize(), Settings().readEverySample != 0);
}

}  // namespace kelvane

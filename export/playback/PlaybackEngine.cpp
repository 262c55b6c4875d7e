#include "export/playback/PlaybackEngine.h"

#include <algorithm>
#include <limits>

#include "export/ProjectFrameComposer.h"

namespace kelvane {

PlaybackEngine::PlaybackEngine(std::unique_ptr<Project> project, Options options)
    : project_(std::move(project)), options_(std::move(options)) {
    if (!options_.clock) {
        options_.clock = SteadyPlaybackClock();
    }
    options_.ahead = std::max<uint32_t>(options_.ahead, 1);
    // Queued frames, the one shown and the one being composed.
    buffers_.resize(options_.ahead + 2);
    const ProjectSettings& s = project_->settings;
    const auto limit = uint32_t(std::numeric_limits<int32_t>::max());
    bool made = s.width <= limit && s.height <= limit;
    for (size_t i = 0; made && i < buffers_.size(); ++i) {
        made = buffers_[i].Create(int32_t(s.width), int32_t(s.height), 32);
        free_.push_back(i);
    }
    if (!made) {
        composingDone_ = true;  // nothing to show: the playback ends at the first look
        return;
    }
    worker_ = std::thread([this] { Run(); });
}

PlaybackEngine::~PlaybackEngine() {
    Stop();
}

void PlaybackEngine::Stop() {
    {
        std::lock_guard guard(lock_);
        if (origin_ && !stop_ && !tailCounted_) {
            // The frames whose time passed since the last one shown were dropped too; the one
            // due now was still in its time.
            uint64_t due = FrameAt(Now() - *origin_, options_.rate);
            if (!options_.range.loop) {
                due = std::min(due, options_.range.LastIndex() + 1);
            }
            const uint64_t next = lastTaken_ ? *lastTaken_ + 1 : 0;
            dropped_ += due > next ? due - next : 0;
        }
        stop_ = true;
    }
    room_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

uint64_t PlaybackEngine::NextToCompose(uint64_t planned) const {
    if (!origin_) {
        return planned;
    }
    const uint64_t due = FrameAt(Now() - *origin_, options_.rate);
    return std::max(planned, due);
}

void PlaybackEngine::Run() {
    const PlaybackRange& range = options_.range;
    ProjectFrameComposer composer(*project_);
    composer.ResetForExport();
    uint32_t evaluatedUpTo = 0;  // evaluation runs forward only; a wrap starts it again
    const uint32_t background = project_->settings.background;
    uint64_t planned = 0;
    for (;;) {
        size_t buffer = 0;
        uint64_t k = 0;
        {
            std::unique_lock guard(lock_);
            room_.wait(guard, [this] { return stop_ || !free_.empty(); });
            if (stop_) {
                break;
            }
            k = NextToCompose(planned);
            if (!range.loop && k > range.LastIndex()) {
                break;
            }
            buffer = free_.back();
            free_.pop_back();
        }
        const uint32_t frame = range.FrameOf(k);
        if (frame < evaluatedUpTo) {
            composer.ResetForExport();
        }
        evaluatedUpTo = frame;
        PixelImage& image = buffers_[buffer];
        image.Fill(background);
        // A track that fails to draw leaves what was drawn: the stream goes on.
        composer.Compose(frame, image);
        {
            std::lock_guard guard(lock_);
            if (!origin_) {
                origin_ = Now();
            }
            ready_.push_back(Ready{k, buffer});
            if (!range.loop && k >= range.LastIndex()) {
                // Said with the last frame, so that whoever takes it knows it is the last.
                composingDone_ = true;
                return;
            }
        }
        planned = k + 1;
    }
    std::lock_guard guard(lock_);
    composingDone_ = true;
}

std::optional<PlaybackEngine::Frame> PlaybackEngine::TakeDue() {
    std::optional<Frame> taken;
    bool freed = false;
    {
        std::lock_guard guard(lock_);
        if (!origin_) {
            return std::nullopt;
        }
        const uint64_t due = FrameAt(Now() - *origin_, options_.rate);
        // Frames whose period has passed go back unseen; the one due now is shown.
        while (!ready_.empty() && ready_.front().k <= due) {
            const Ready entry = ready_.front();
            ready_.pop_front();
            freed = true;
            if (entry.k < due) {
                free_.push_back(entry.buffer);
                continue;
            }
            if (shown_) {
                free_.push_back(*shown_);
            }
            shown_ = entry.buffer;
            dropped_ += lastTaken_ ? entry.k - *lastTaken_ - 1 : entry.k;
            lastTaken_ = entry.k;
            ++shownCount_;
            taken = Frame{options_.range.FrameOf(entry.k), &buffers_[entry.buffer]};
        }
        const PlaybackRange& range = options_.range;
        if (composingDone_ && ready_.empty() && !range.loop && !tailCounted_) {
            // The frames after the last one shown were skipped to the end.
            tailCounted_ = true;
            const uint64_t shownUpTo = lastTaken_ ? *lastTaken_ + 1 : 0;
            dropped_ += range.LastIndex() + 1 - std::min(shownUpTo, range.LastIndex() + 1);
        }
    }
    if (freed) {
        room_.notify_one();
    }
    return taken;
}

bool PlaybackEngine::Started() const {
    std::lock_guard guard(lock_);
    return origin_.has_value();
}

bool PlaybackEngine::Ended() const {
    std::lock_guard guard(lock_);
    return composingDone_ && ready_.empty() && !stop_;
}

std::optional<std::chrono::nanoseconds> PlaybackEngine::NextDue() const {
    std::lock_guard guard(lock_);
    if (!origin_) {
        return std::nullopt;
    }
    const uint64_t due = FrameAt(Now() - *origin_, options_.rate);
    return *origin_ + FrameDueOffset(due + 1, options_.rate);
}

uint64_t PlaybackEngine::FramesShown() const {
    std::lock_guard guard(lock_);
    return shownCount_;
}

uint64_t PlaybackEngine::FramesDropped() const {
    std::lock_guard guard(lock_);
    return dropped_;
}

}  // namespace kelvane

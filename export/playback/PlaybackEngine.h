#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "export/playback/PlaybackTiming.h"
#include "model/Project.h"
#include "render/PixelImage.h"

namespace kelvane {

// Plays a project's frames at its rate. A thread of its own composes them, a few ahead of the
// display, from a project that belongs to the engine alone (a render copy with its own media
// sources), exactly as an export composes them; the caller's thread takes each finished frame at
// its due time. The stream starts when its first frame is ready; frame k is then due k / rate
// seconds later, read from the clock, never accumulated. A frame that is not ready in its
// display period is skipped and counted, and the composing thread jumps over frames whose time
// has already passed: the stream never waits.
class PlaybackEngine {
  public:
    struct Options {
        PlaybackRange range;
        ExactRate rate;
        PlaybackClock clock;  // the steady clock when empty
        uint32_t ahead = 3;   // frames composed before they are due, at most
    };

    // What the display takes at one look.
    struct Frame {
        uint32_t frame = 0;                 // the output frame
        const PixelImage* image = nullptr;  // valid until the next TakeDue or the engine's end
    };

    // Starts composing at once. `project` is the engine's own; its output size is the images'.
    PlaybackEngine(std::unique_ptr<Project> project, Options options);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // The frame whose display period holds the clock's now, when it is ready and has not been
    // taken yet; frames before it that were never taken count as dropped. Never blocks on the
    // composing thread longer than a queue operation.
    std::optional<Frame> TakeDue();

    // Whether the first frame is ready, so that the stream's clock runs.
    bool Started() const;
    // A range that does not loop has been shown to its end (or the images could not be made).
    bool Ended() const;
    // When the next look is worth it, on the clock's scale: the next frame's due time once the
    // stream runs; empty before.
    std::optional<std::chrono::nanoseconds> NextDue() const;

    // The engine's own project. Its events and loaded sounds may be read from another thread
    // (the playback's sound) while the engine runs; nothing changes them.
    const Project& project() const { return *project_; }

    uint64_t FramesShown() const;
    uint64_t FramesDropped() const;

    // Ends the composing thread and waits for it; the frames whose time passed unseen since the
    // last one shown count as dropped. Later calls do nothing.
    void Stop();

  private:
    struct Ready {
        uint64_t k = 0;
        size_t buffer = 0;
    };

    void Run();
    // The stream frame to compose next, given the one planned: frames already past are skipped.
    uint64_t NextToCompose(uint64_t planned) const;
    std::chrono::nanoseconds Now() const { return options_.clock(); }

    std::unique_ptr<Project> project_;
    Options options_;
    std::vector<PixelImage> buffers_;

    mutable std::mutex lock_;
    std::condition_variable room_;
    std::deque<Ready> ready_;
    std::vector<size_t> free_;
    std::optional<size_t> shown_;
    std::optional<std::chrono::nanoseconds> origin_;  // when the stream's frame 0 became due
    std::optional<uint64_t> lastTaken_;
    uint64_t shownCount_ = 0;
    uint64_t dropped_ = 0;
    bool composingDone_ = false;  // nothing more will be composed
    bool tailCounted_ = false;
    bool stop_ = false;

    std::thread worker_;
};

}  // namespace kelvane

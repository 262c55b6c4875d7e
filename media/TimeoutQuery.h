#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "platform/UserPrompt.h"

namespace kelvane {

// "動画の画像の取得がタイムアウトしました。続行しますか？"
extern const char kTimeoutQuestion[];

// The process-wide target that the movie reader asks when a wait for a picture times out. The
// application points it at its main prompt at start-up; the export points it at its progress
// dialog's prompt while the dialog is open, and that prompt may answer No by itself. Set only on
// the user-interface thread; null means nobody can be asked, so a timed-out wait gives up.
// The question comes from whichever thread fetches the frame: a GUI target is a UiThreadPrompt,
// which carries the question to the UI thread and blocks the reader until it is answered.
void SetTimeoutQuery(UserPrompt* target);
UserPrompt* TimeoutQuery();

// Asks the target whether to go on waiting: true for Yes (wait another round), false for No.
bool AskTimeoutContinue();

// What a wait for a movie's picture that timed out knows about itself.
struct MovieWait {
    std::u16string_view path;  // the movie file
    int64_t frame = 0;         // the frame asked for, counted from the movie's first
    // The movie's decoder has made progress since the last round of the wait.
    bool progressed = false;
    // How long the wait has gone without any progress.
    std::chrono::milliseconds stalled{0};
    // The pipeline has delivered everything up to where it was asked to stop: nothing more comes
    // before the next seek, however long the wait.
    bool finished = false;
};

// Decides on a timed-out wait without asking anyone: the command line's way, where nobody is
// there to answer. Called on whichever thread fetches the frame.
class TimeoutPolicy {
  public:
    virtual ~TimeoutPolicy() = default;
    // True: wait another round.
    virtual bool KeepWaiting(const MovieWait& wait) = 0;
};

// The process-wide policy; when one is set it decides instead of the question. Null: ask.
void SetTimeoutPolicy(TimeoutPolicy* policy);

// The policy's decision when one is set, else the question to the target.
bool AskTimeoutContinue(const MovieWait& wait);

}  // namespace kelvane

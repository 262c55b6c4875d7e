#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "export/ExportJob.h"
#include "model/TrackEvent.h"

namespace kelvane {

class CompressorChooser;
class UserPrompt;

using ExportClock = std::function<std::chrono::steady_clock::time_point()>;

// The two-line progress text: position, percentage, elapsed and estimated remaining time.
std::string FormatProgressText(uint32_t n, uint32_t length, RefTime frameDuration,
                               uint64_t elapsedMs);

// What one tick of the progress timer asks of the progress window.
struct ExportTick {
    enum class Action { Refresh, EndOk, EndCancel };
    Action action = Action::Refresh;
    uint32_t position = 0;  // the progress bar, 0 to the length
    bool hasText = false;   // the text changes only while the length is above 0
    std::string text;
    // A copy of the last written frame when it is to be shown: the tick owns it, so it stays
    // intact however many frames are written after it.
    std::shared_ptr<const PixelImage> preview;
};

// The progress window's logic without the window: the step that composes and writes one frame,
// the 500 ms timer that refreshes the progress and ends the run, the cancel button, the answer to
// a movie's timeout question and the three check boxes. The window (or a loop without one)
// calls Step once per frame on the thread that owns the project, and Tick when TimerDue says so.
//
// Threads: the GUI runs one Step per turn of its event loop on the UI thread, so the project and
// its sources keep one owner, the window repaints between frames and "中断" acts within a frame.
// The check boxes may be set from the UI thread at any time, even while a frame is drawn (a
// timeout question's message box runs a nested event loop inside a step): they are atomic, and a
// Cancel that arrives during a step stops the run when the step returns, never under it.
class ExportDriver {
  public:
    static constexpr std::chrono::milliseconds kTimerPeriod{500};

    // The job must have been set up; the clock defaults to std::chrono::steady_clock.
    ExportDriver(ExportJob& job, const ExportSettings& settings, FrameComposer& composer,
                 ExportClock clock = {});

    // The window opens: the check boxes take their initial states, the timer starts.
    void Start();
    // The thread that sends the steps could not be started: the run stops, the file is closed.
    void ThreadStartFailed();

    // One frame: nothing once the run has ended; past the last frame the file is closed and the
    // run is done; otherwise the frame is composed and written, and a failure stops the run and
    // closes the file.
    void Step();

    // Whether the 500 ms timer has come round since Start or the last due tick; ticks that were
    // missed while a step ran count as one.
    bool TimerDue();
    // The timer: ends the window when the run has stopped or is done, else refreshes.
    ExportTick Tick();

    // The "中断" button: the run stops, the file is closed, the window ends with Cancel. During a
    // step, the stop waits for the step to return.
    void Cancel();

    // A movie reader's fetch timed out: true aborts the fetch at once ("タイムアウトをエラーにする"
    // checked); false lets the reader ask the user.
    bool AnswerTimeoutQuestion() const { return timeoutIsError_; }

    // "イベント描画時にエラーが発生した場合は中断する": takes effect with the next frame.
    void SetAbortOnDrawError(bool on) { job_.abortOnDrawError = on; }
    bool AbortOnDrawError() const { return job_.abortOnDrawError; }
    // "現在の画像を表示する": the next tick carries the image or not.
    void SetShowCurrentImage(bool on) { showCurrentImage_ = on; }
    bool ShowCurrentImage() const { return showCurrentImage_; }
    // "タイムアウトをエラーにする".
    void SetTimeoutIsError(bool on) { timeoutIsError_ = on; }
    bool TimeoutIsError() const { return timeoutIsError_; }

    bool TimerRunning() const { return timerRunning_; }
    // The run has stopped or is done; the next tick ends the window.
    bool Ended() const { return job_.stopped || job_.done; }

  private:
    std::chrono::steady_clock::time_point Now() const;
    void StopAndClose();

    ExportJob& job_;
    ExportSettings settings_;
    FrameComposer& composer_;
    ExportClock clock_;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point nextTick_{};
    bool timerRunning_ = false;
    std::atomic<bool> showCurrentImage_{true};
    std::atomic<bool> timeoutIsError_{false};
    bool stepping_ = false;
    bool cancelRequested_ = false;
};

// Runs a started export to its end without a window: steps as fast as the frames come, ticks the
// timer as it comes round and once more as soon as the run has ended. `cancel` (may be null)
// acts as the "中断" button between frames. Every tick is handed to onTick (may be empty).
// Returns EndOk or EndCancel.
ExportTick::Action RunExport(ExportDriver& driver, const std::atomic<bool>* cancel,
                             const std::function<void(const ExportTick&)>& onTick);

// The whole export command without a window: choose the compressor, set up, run, report. The
// chooser's cancel ends it silently; a failed setup shows "ファイルが開けません。"; a run that
// stops shows "エラーまたはキャンセル操作によって中断されました。". Either message gets a second
// line with the file and the system's reason when a write failed ("ディスクに空き領域がありま
// せん。"). True when every frame was written.
bool RunExportCommand(ExportJob& job, const ExportSettings& settings, FrameComposer& composer,
                      const std::string& path, CompressorChooser& chooser, UserPrompt& prompt,
                      const std::atomic<bool>* cancel,
                      const std::function<void(const ExportTick&)>& onTick, ExportClock clock = {});

}  // namespace kelvane

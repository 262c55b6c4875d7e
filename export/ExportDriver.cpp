#include "export/ExportDriver.h"

#include <cstdio>
#include <cstring>

#include "export/CompressorChooser.h"
#include "export/ExportMessages.h"
#include "export/OutputContainer.h"
#include "platform/FailureNote.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

std::shared_ptr<const PixelImage> CopyOf(const PixelImage* image) {
    if (image == nullptr) {
        return nullptr;
    }
    auto copy = std::make_shared<PixelImage>();
    if (!copy->Create(image->Width(), image->Height(), image->BitsPerPixel())) {
        return nullptr;  // no memory for the preview: the tick goes without it
    }
    std::memcpy(copy->Pixels(), image->Pixels(), image->ByteSize());
    return copy;
}

}  // namespace

std::string FormatProgressText(uint32_t n, uint32_t length, RefTime frameDuration,
                               uint64_t elapsedMs) {
    // 2^32 frames of the longest frame duration (1000 s) pass 2^63 units.
    const __int128 p = __int128(n) * frameDuration;
    const uint64_t e = elapsedMs;
    // 64-bit throughout: (length - n) x e passes 2^32 after about an hour of a long export.
    const uint64_t r = n == 0 ? 0 : uint64_t(length - n) * e / n;
    const uint64_t percent = length == 0 ? 0 : uint64_t(n) * 100 / length;
    char text[256];
    std::snprintf(text, sizeof text,
                  "現在位置 %02u:%02u.%03u\t進捗度 %u%%\n経過時間 %02u:%02u.%03u\t推定残り時間 "
                  "%02u:%02u.%03u",
                  unsigned(p / 600'000'000), unsigned((p / 10'000'000) % 60),
                  unsigned((p / 10'000) % 1000), unsigned(percent), unsigned(e / 60000),
                  unsigned((e / 1000) % 60), unsigned(e % 1000), unsigned(r / 60000),
                  unsigned((r / 1000) % 60), unsigned(r % 1000));
    return text;
}

ExportDriver::ExportDriver(ExportJob& job, const ExportSettings& settings, FrameComposer& composer,
                           ExportClock clock)
    : job_(job), settings_(settings), composer_(composer), clock_(std::move(clock)) {}

std::chrono::steady_clock::time_point ExportDriver::Now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void ExportDriver::Start() {
    showCurrentImage_ = true;
    timeoutIsError_ = false;
    cancelRequested_ = false;
    start_ = Now();
    nextTick_ = start_ + kTimerPeriod;
    timerRunning_ = true;
}

void ExportDriver::StopAndClose() {
    job_.stopped = true;
    job_.writer.Close();
}

void ExportDriver::ThreadStartFailed() {
    StopAndClose();
}

void ExportDriver::Step() {
    if (job_.stopped || job_.done || stepping_) {
        return;
    }
    if (job_.FramesWritten() >= settings_.length) {
        job_.writer.Close();
        // The ending of the file may fail to be written too (the disk filled with the last frame).
        if (job_.writer.Failure().reason.empty()) {
            job_.done = true;
        } else {
            job_.stopped = true;
        }
        return;
    }
    stepping_ = true;
    const bool written = job_.ExportStep(composer_);
    stepping_ = false;
    if (!written || cancelRequested_) {
        StopAndClose();
    }
}

bool ExportDriver::TimerDue() {
    if (!timerRunning_) {
        return false;
    }
    const auto now = Now();
    if (now < nextTick_) {
        return false;
    }
    const auto late = now - nextTick_;
    nextTick_ += kTimerPeriod * (late / kTimerPeriod + 1);
    return true;
}

ExportTick ExportDriver::Tick() {
    ExportTick tick;
    if (job_.stopped || job_.done) {
        timerRunning_ = false;
        tick.action = job_.stopped ? ExportTick::Action::EndCancel : ExportTick::Action::EndOk;
        tick.position = job_.FramesWritten();
        return tick;
    }
    const uint32_t n = job_.FramesWritten();
    tick.position = n;
    if (settings_.length > 0) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Now() - start_).count();
        tick.hasText = true;
        tick.text = FormatProgressText(n, settings_.length, settings_.frameDuration,
                                       uint64_t(elapsed < 0 ? 0 : elapsed));
    }
    if (showCurrentImage_) {
        tick.preview = CopyOf(job_.LastWrittenImage());
    }
    return tick;
}

void ExportDriver::Cancel() {
    timerRunning_ = false;
    if (stepping_) {
        // Called from inside the step (a nested event loop): the writer is in use.
        cancelRequested_ = true;
        return;
    }
    StopAndClose();
}

ExportTick::Action RunExport(ExportDriver& driver, const std::atomic<bool>* cancel,
                             const std::function<void(const ExportTick&)>& onTick) {
    for (;;) {
        if (cancel != nullptr && cancel->load()) {
            driver.Cancel();
            ExportTick tick;
            tick.action = ExportTick::Action::EndCancel;
            if (onTick) {
                onTick(tick);
            }
            return tick.action;
        }
        driver.Step();
        if (driver.Ended() || driver.TimerDue()) {
            // A run that has ended ticks at once rather than when the timer comes round.
            const ExportTick tick = driver.Tick();
            if (onTick) {
                onTick(tick);
            }
            if (tick.action != ExportTick::Action::Refresh) {
                return tick.action;
            }
        }
    }
}

bool RunExportCommand(ExportJob& job, const ExportSettings& settings, FrameComposer& composer,
                      const std::string& path, CompressorChooser& chooser, UserPrompt& prompt,
                      const std::atomic<bool>* cancel,
                      const std::function<void(const ExportTick&)>& onTick, ExportClock clock) {
    if (!job.writer.ChooseCompressor(chooser, ContainerOfPath(path))) {
        return false;
    }
    if (!job.Setup(path, settings, composer)) {
        job.writer.Close();
        prompt.ShowError(WithFailureNote(kExportCannotOpenFile, job.writer.Failure()));
        return false;
    }
    job.stopped = false;
    job.done = false;
    ExportDriver driver(job, settings, composer, std::move(clock));
    driver.Start();
    const ExportTick::Action end = RunExport(driver, cancel, onTick);
    if (end != ExportTick::Action::EndOk) {
        // A write that failed says which file and why; a cancel says nothing more.
        prompt.ShowError(WithFailureNote(kExportStopped, job.writer.Failure()));
        return false;
    }
    return true;
}

}  // namespace kelvane

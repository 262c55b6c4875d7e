#include "cli/ProgressReport.h"

#include "cli/Console.h"

namespace kelvane::cli {

ProgressReport::ProgressReport(const ExportJob& job, uint32_t length, RefTime frameDuration,
                               bool onTerminal)
    : job_(job),
      length_(length),
      frameDuration_(frameDuration),
      onTerminal_(onTerminal),
      start_(std::chrono::steady_clock::now()),
      nextLog_(start_ + kLogPeriod) {}

std::string ProgressReport::Line(uint32_t n, uint32_t length, const std::string& progressText) {
    std::string line = "フレーム " + std::to_string(n) + "/" + std::to_string(length);
    line += "  ";
    for (const char c : progressText) {
        if (c == '\t' || c == '\n') {
            line += "  ";
        } else {
            line += c;
        }
    }
    return line;
}

void ProgressReport::Show(uint32_t n, const std::string& progressText) {
    ConsoleProgress(Line(n, length_, progressText), onTerminal_);
    lastShown_ = n;
}

void ProgressReport::OnTick(const ExportTick& tick) {
    const auto now = std::chrono::steady_clock::now();
    switch (tick.action) {
        case ExportTick::Action::Refresh:
            if (!tick.hasText) {
                return;
            }
            if (onTerminal_) {
                Show(tick.position, tick.text);
            } else if (now >= nextLog_) {
                Show(tick.position, tick.text);
                nextLog_ = now + kLogPeriod;
            }
            return;
        case ExportTick::Action::EndOk:
        case ExportTick::Action::EndCancel:
            // The final state, which no timer tick showed: every frame, or where the run stopped.
            if (const uint32_t n = job_.FramesWritten(); length_ > 0 && n != lastShown_) {
                const auto elapsed =
                    std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
                Show(n, FormatProgressText(n, length_, frameDuration_,
                                           uint64_t(elapsed < 0 ? 0 : elapsed)));
            }
            ConsoleEndProgress();
            return;
    }
}

}  // namespace kelvane::cli

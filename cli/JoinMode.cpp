#include "cli/JoinMode.h"

#include <unistd.h>

#include <chrono>
#include <csignal>

#include "cli/Console.h"
#include "cli/InterruptCatcher.h"
#include "export/AviJoin.h"

namespace kelvane::cli {

int RunJoinMode(const CliOptions& options) {
    AviJoinSummary summary;
    std::string error;
    // A join of hours of uncompressed frames copies for many minutes: the count of frames
    // copied, on a terminal twice a second, in a log every few seconds.
    const bool onTerminal = ::isatty(STDERR_FILENO) == 1;
    const auto period = onTerminal ? std::chrono::milliseconds(500) : std::chrono::seconds(5);
    auto next = std::chrono::steady_clock::now() + period;
    const auto progress = [&](uint32_t copied, uint32_t total) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= next) {
            ConsoleProgress("フレーム " + std::to_string(copied) + "/" + std::to_string(total) +
                                "  進捗度 " + std::to_string(uint64_t(copied) * 100 / total) + "%",
                            onTerminal);
            next = now + period;
        }
    };
    // Ctrl+C, or the batch system ending the job, stops the copy and removes the partial file.
    InterruptCatcher catcher({SIGINT, SIGTERM});
    const bool joined = JoinAviParts(options.parts, options.output, summary, error, progress,
                                     &InterruptCatcher::Flag());
    ConsoleEndProgress();
    if (!joined) {
        ConsoleMessage("kelvane-render: " + error + "\n");
        return kExitFailure;
    }
    ConsoleMessage("kelvane-render: " + std::to_string(options.parts.size()) + " 個のファイルの " +
                   std::to_string(summary.record.Frames()) + " フレーム (フレーム " +
                   std::to_string(summary.record.first) + "-" +
                   std::to_string(summary.record.last) + ") を " + options.output +
                   " につなぎました (" + std::to_string(summary.bytes) + " バイト)。\n");
    if (summary.soundSeams) {
        ConsoleMessage(
            "kelvane-render: 音声は各部分をそのままつなぎました。"
            "つなぎ目で音がクリックすることがあります。\n");
    }
    return kExitSuccess;
}

}  // namespace kelvane::cli

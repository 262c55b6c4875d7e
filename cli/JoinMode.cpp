#include "cli/JoinMode.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <system_error>

#include "cli/Console.h"
#include "cli/InterruptCatcher.h"
#include "export/AviJoin.h"
#include "export/ProjectFrameComposer.h"

namespace kelvane::cli {

std::string JoinSoundProject(const CliOptions& options, std::string& why) {
    why.clear();
    AviPartRecord record;
    bool primed = false;
    if (options.parts.empty() || !ReadJoinPart(options.parts.front(), record, primed) || !primed) {
        return {};  // the join itself says what is wrong with a part
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(record.project, ec)) {
        why = "書き出したプロジェクト " + record.project + " が見つからないため、";
        return {};
    }
    if (FileSha256(record.project) != record.projectSha256) {
        why = "書き出したプロジェクト " + record.project + " が書き出しの後に変更されているため、";
        return {};
    }
    return record.project;
}

int RunJoinMode(const CliOptions& options, Project* project, const std::string& soundNote) {
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
    std::unique_ptr<ProjectFrameComposer> composer;
    JoinProjectSound projectSound;
    if (project != nullptr) {
        composer = std::make_unique<ProjectFrameComposer>(*project);
        projectSound.composer = composer.get();
        projectSound.frameDuration = project->settings.frameDuration;
    }
    // Ctrl+C, or the batch system ending the job, stops the copy and removes the partial file.
    InterruptCatcher catcher({SIGINT, SIGTERM});
    const bool joined = JoinAviParts(options.parts, options.output, summary, error, progress,
                                     &InterruptCatcher::Flag(), projectSound);
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
    if (summary.soundRendered) {
        ConsoleMessage("kelvane-render: 音声はプロジェクト " + summary.record.project +
                       " から範囲全体を一つながりに作り直しました。\n");
    }
    if (summary.soundSeams) {
        // A project loaded without sound (its media gone) says so through the join's note.
        const std::string because =
            !soundNote.empty() || project == nullptr
                ? soundNote
                : "書き出したプロジェクト " + summary.record.project + " の音声の素材がないため、";
        ConsoleMessage("kelvane-render: " + because +
                       "音声は各部分をそのままつなぎました。"
                       "つなぎ目で音がクリックすることがあります。\n");
    }
    return kExitSuccess;
}

}  // namespace kelvane::cli

#include "cli/ExportMode.h"

#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "cli/Console.h"
#include "cli/InterruptCatcher.h"
#include "cli/ProgressReport.h"
#include "export/AviPartRecord.h"
#include "export/Compressor.h"
#include "export/CompressorChooser.h"
#include "export/ContainerEncoder.h"
#include "export/ExportDriver.h"
#include "export/OutputContainer.h"
#include "export/ProjectFrameComposer.h"

namespace kelvane::cli {

int RunExportMode(const CliOptions& options, Project& project, UserPrompt& prompt) {
    ExportSettings settings = ExportSettingsOf(project);
    const uint32_t projectLength = settings.length;
    if (options.frames) {
        if (options.frames->last >= projectLength) {
            ConsoleMessage("kelvane-render: --frames の範囲 " +
                           std::to_string(options.frames->first) + "-" +
                           std::to_string(options.frames->last) + " がプロジェクトの長さ (" +
                           std::to_string(projectLength) + " フレーム) を超えています。\n");
            return kExitUsage;
        }
        settings.first = options.frames->first;
        settings.length = options.frames->last - options.frames->first + 1;
    }
    const OutputContainer* container = ContainerOfPath(options.output);
    const std::vector<CompressorInfo> offered =
        container != nullptr ? CompressorsFor(*container) : AvailableCompressors();
    const std::string codec = !options.codec.empty() ? options.codec
                              : offered.empty()      ? std::string(kUncompressedName)
                                                     : offered.front().name;
    const CompressorInfo* info = FindAnyCompressor(codec);
    if (container != nullptr && !container->IsAvi() && info != nullptr &&
        !ContainerCodecTakesSize(*info, settings.width, settings.height)) {
        ConsoleMessage("kelvane-render: 圧縮形式 " + codec + " は奇数の幅や高さの画像 (" +
                       std::to_string(settings.width) + "x" + std::to_string(settings.height) +
                       ") を書けません。ffv1 (.mkv) か .avi を使ってください。\n");
        return kExitFailure;
    }
    ProjectFrameComposer composer(project);
    NamedCompressorChooser chooser(codec, options.quality);
    ExportJob job;
    job.abortOnDrawError = options.abortOnDrawError;
    job.noSound = options.noAudio;
    job.soundCodec = options.audioCodec;
    job.yieldToWriter = true;  // the process ends with the export
    // The file records what it holds, so that files of consecutive ranges can be joined and
    // checked against each other.
    if (settings.length > 0) {
        const AviPartRecord record =
            RecordOfExport(options.project, settings.first, settings.first + settings.length - 1,
                           projectLength, codec);
        job.writer.SetInfo({{kAviPartRecordInfoId, FormatAviPartRecord(record)}});
    }
    ProgressReport progress(job, settings.length, settings.frameDuration,
                            ::isatty(STDERR_FILENO) == 1);

    // Ctrl+C acts as the "中断" button between frames.
    InterruptCatcher catcher({SIGINT});
    const bool ok = RunExportCommand(job, settings, composer, options.output, chooser, prompt,
                                     &InterruptCatcher::Flag(),
                                     [&](const ExportTick& tick) { progress.OnTick(tick); });
    return ok ? kExitSuccess : kExitFailure;
}

}  // namespace kelvane::cli

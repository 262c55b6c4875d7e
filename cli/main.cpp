// kelvane-render: the display-free renderer. It brings the process up as the program does, reads
// one project and either saves a frame as a BMP file or writes the whole project to an AVI file.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/EngineProcess.h"
#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ConsolePrompt.h"
#include "cli/ExportMode.h"
#include "cli/FrameMode.h"
#include "cli/JoinMode.h"
#include "cli/ProjectLoading.h"
#include "cli/QtMessages.h"
#include "cli/SettingsOverrides.h"
#include "cli/on_demand/FfmpegOnDemand.h"
#include "export/Compressor.h"
#include "export/OutputContainer.h"
#include "export/audio/SoundCodecs.h"
#include "media/EffectCatalogueText.h"
#include "media/PatientTimeout.h"
#include "media/QtGuiRuntime.h"
#include "media/TimeoutQuery.h"
#include "platform/Path.h"
#include "platform/StepTimes.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kelvane::cli {
namespace {

int UsageError(const std::string& message) {
    ConsoleMessage("kelvane-render: " + message +
                   "\n'kelvane-render --help' で使い方を表示します。\n");
    return kExitUsage;
}

int Run(const CliOptions& options) {
    ProcessOptions processOptions;
    processOptions.iniBaseName = u"kelvane";  // the program's own INI file
    processOptions.readOnlySettings = true;
    processOptions.pictureModulesOnDemand = true;
    EngineProcess process(std::move(processOptions));
    process.Start();
    if (!ApplySettingOverrides(process.State(), options.settings)) {
        ConsoleMessage("kelvane-render: --set の設定を適用できませんでした。\n");
        return kExitFailure;
    }

    // Nobody is there to answer the timeout question: a movie is waited for as long as it makes
    // progress, and given up once it has made none for --movie-timeout.
    ConsolePrompt timeoutPrompt(false);
    SetTimeoutQuery(&timeoutPrompt);
    PatientTimeout patience(std::chrono::seconds(options.movieTimeoutSeconds), timeoutPrompt);
    SetTimeoutPolicy(&patience);
    ConsolePrompt prompt(options.keepGoing);
    int status = kExitFailure;
    std::unique_ptr<Project> project;
    {
        const StepTimer timer(Step::ProjectRead);
        project = LoadProject(options.project, prompt, options.relinks);
    }
    if (project) {
        status = options.mode == CliOptions::Mode::Frame ? RunFrameMode(options, *project, prompt)
                                                         : RunExportMode(options, *project, prompt);
    }
    const StepTimer timer(Step::Shutdown);
    project.reset();
    SetTimeoutPolicy(nullptr);
    SetTimeoutQuery(nullptr);
    KeepFfmpegLoaded();
    process.Shutdown();
    return status;
}

}  // namespace
}  // namespace kelvane::cli

int main(int argc, char** argv) {
    using namespace kelvane::cli;
    kelvane::MarkMainEntered();
    CliOptions options;
    std::string error;
    if (!ParseOptions(argc - 1, argv + 1, options, error)) {
        return UsageError(error);
    }
    switch (options.mode) {
        case CliOptions::Mode::Help:
            std::fputs(HelpText(), stdout);
            if (kelvane::StepTimesOn()) {
                std::fputs(kelvane::FormatStepTimes().c_str(), stderr);
            }
            return kExitSuccess;
        case CliOptions::Mode::ListCodecs:
            std::fputs(kelvane::CompressorContainerListText().c_str(), stdout);
            std::fputs(kelvane::SoundCodecListText().c_str(), stdout);
            return kExitSuccess;
        case CliOptions::Mode::ListEffects:
            std::fputs(kelvane::EffectCatalogueText(kelvane::ExecutableFolder()).c_str(), stdout);
            return kExitSuccess;
        case CliOptions::Mode::Export: {
            // The kind of file and its codec are settled before anything is written.
            std::string refused = kelvane::OutputChoiceError(options.output, options.codec);
            if (refused.empty()) {
                refused = kelvane::SoundChoiceError(options.output, options.audioCodec);
            }
            if (!refused.empty()) {
                return UsageError(refused);
            }
            break;
        }
        case CliOptions::Mode::Frame:
            break;
        case CliOptions::Mode::Join:
            // Copies encoded frames: no project, no settings, no rendering.
            SetFfmpegLogLevel(AV_LOG_ERROR);
            return RunJoinMode(options);
    }
    // Text images need Qt's fonts but never a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // SVT-AV1 describes its configuration on the standard error at every start; errors only.
    setenv("SVT_LOG", "1", 0);
    QuietQtSessionNotes();
    // The program speaks for itself; FFmpeg's own notes about formats would only bury that.
    SetFfmpegLogLevel(AV_LOG_ERROR);
    const int status = Run(options);
    kelvane::ReleaseGuiApplication();
    if (kelvane::StepTimesOn()) {
        std::fputs(kelvane::FormatStepTimes().c_str(), stderr);
    }
    return status;
}

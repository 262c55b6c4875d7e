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

// `projectPath`: the project to read, the one named on the command line or, for a join, the
// one whose sound is rendered again.
int Run(const CliOptions& options, const std::string& projectPath) {
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
        project = LoadProject(projectPath, prompt, options.relinks);
    }
    if (options.mode == CliOptions::Mode::Join) {
        // A project that cannot be read leaves the parts' own sound in the joined file.
        status = RunJoinMode(
            options, project.get(),
            project ? std::string()
                    : "書き出したプロジェクト " + projectPath + " を読み込めないため、");
    } else if (project) {
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
    std::string projectPath;
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
            projectPath = options.project;
            break;
        }
        case CliOptions::Mode::Frame:
            projectPath = options.project;
            break;
        case CliOptions::Mode::Join: {
            // Copies encoded frames: no settings, no rendering of pictures. Only sound that
            // primes each part is rendered again, from the project the parts name.
            SetFfmpegLogLevel(AV_LOG_ERROR);
            std::string why;
            projectPath = JoinSoundProject(options, why);
            if (projectPath.empty()) {
                return RunJoinMode(options, nullptr, why);
            }
            break;
        }
    }
    // Text images need Qt's fonts but never a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // SVT-AV1 describes its configuration on the standard error at every start; errors only.
    setenv("SVT_LOG", "1", 0);
    QuietQtSessionNotes();
    // The program speaks for itself; FFmpeg's own notes about formats would only bury that.
    SetFfmpegLogLevel(AV_LOG_ERROR);
    const int status = Run(options, projectPath);
    kelvane::ReleaseGuiApplication();
    if (kelvane::StepTimesOn()) {
        std::fputs(kelvane::FormatStepTimes().c_str(), stderr);
    }
    return status;
}

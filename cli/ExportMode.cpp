#include "cli/ExportMode.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include "cli/ProgressReport.h"
#include "export/Compressor.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ProjectFrameComposer.h"

namespace kelvane::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

// Ctrl+C sets the flag that the export loop polls between frames. The handler is reset by its
// first call, so a second Ctrl+C ends the process at once.
class InterruptCatcher {
  public:
    InterruptCatcher() {
        interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
    }
    ~InterruptCatcher() {
        if (installed_) {
            ::sigaction(SIGINT, &previous_, nullptr);
        }
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  private:
    struct sigaction previous_ {};
    bool installed_ = false;
};

}  // namespace

int RunExportMode(const CliOptions& options, Project& project, UserPrompt& prompt) {
    const ExportSettings settings = ExportSettingsOf(project);
    ProjectFrameComposer composer(project);
    NamedCompressorChooser chooser(options.codec.empty() ? std::string(kUncompressedName)
                                                         : options.codec);
    ExportJob job;
    job.abortOnDrawError = options.abortOnDrawError;
    ProgressReport progress(job, settings.length, settings.frameDuration,
                            ::isatty(STDERR_FILENO) == 1);

    InterruptCatcher catcher;
    const bool ok =
        RunExportCommand(job, settings, composer, options.output, chooser, prompt, &interrupted,
                         [&](const ExportTick& tick) { progress.OnTick(tick); });
    return ok ? kExitSuccess : kExitFailure;
}

}  // namespace kelvane::cli

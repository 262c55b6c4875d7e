// Whole-export benchmark: one project exported as kelvane-render exports it, then the same frames,
// rendered beforehand into memory, fed to the encoder alone in the same process, so that the two
// times say how much of the composition the export still shows.
//
//   export_bench PROJECT.xqm -o OUT.avi [--codec NAME] [--timeline] [--no-encoder-alone]
//
// --timeline prints where each frame's time went on each thread: composing (and waiting for the
// writer) on the thread that owns the project, converting and encoding, then writing, on the
// writer's thread. The pre-rendered frames take width x height x 4 bytes each.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/EngineProcess.h"
#include "export/AviWriter.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ExportTimeline.h"
#include "export/ProjectFrameComposer.h"
#include "media/ProjectLoader.h"
#include "media/QtGuiRuntime.h"
#include "model/ProjectFile.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using namespace kelvane;

class ConsoleErrors : public UserPrompt {
  public:
    void ShowError(const std::string& message) override {
        std::fprintf(stderr, "export_bench: %s\n", message.c_str());
    }
    bool AskYesNo(const std::string& message) override {
        ShowError(message);
        return false;
    }
    bool AskOkCancel(const std::string& message) override {
        ShowError(message);
        return false;
    }
    PromptAnswer AskYesNoCancel(const std::string& message) override {
        ShowError(message);
        return PromptAnswer::Cancel;
    }
};

struct Clock {
    std::chrono::steady_clock::time_point wall;
    double cpu;  // user + system seconds of the whole process

    static Clock Now() {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        const double cpu = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        return Clock{std::chrono::steady_clock::now(), cpu};
    }
};

void Report(const char* what, uint32_t frames, const Clock& a, const Clock& b) {
    const double wall = std::chrono::duration<double>(b.wall - a.wall).count();
    const double cpu = b.cpu - a.cpu;
    std::printf("%-44s %5u frames %8.3f s wall %8.3f s cpu %8.2f ms/frame %8.2f cpu ms/frame\n",
                what, frames, wall, cpu, wall * 1e3 / frames, cpu * 1e3 / frames);
}

double Seconds(const Clock& a, const Clock& b) {
    return std::chrono::duration<double>(b.wall - a.wall).count();
}

std::unique_ptr<Project> Load(const std::string& path, UserPrompt& prompt) {
    std::unique_ptr<Project> project = Project::Create();
    ProjectLoader loader(prompt);
    const std::string full = std::filesystem::absolute(path).lexically_normal().string();
    if (!project || !ProjectFile::Read(FromUtf8(full), *project, loader, prompt)) {
        return nullptr;
    }
    return project;
}

int Run(const std::string& projectPath, const std::string& out, const std::string& codec,
        bool timeline, bool encoderAlone) {
    ProcessOptions processOptions;
    processOptions.iniBaseName = u"kelvane";
    processOptions.readOnlySettings = true;
    EngineProcess process(std::move(processOptions));
    process.Start();
    ConsoleErrors prompt;
    std::unique_ptr<Project> project = Load(projectPath, prompt);
    if (!project) {
        std::fprintf(stderr, "export_bench: cannot read %s\n", projectPath.c_str());
        return 1;
    }
    const ExportSettings settings = ExportSettingsOf(*project);
    ProjectFrameComposer composer(*project);

    // The export, exactly as kelvane-render runs it.
    ExportTimeline spans(size_t(settings.length) * 4 + 16);
    ExportJob job;
    job.timeline = timeline ? &spans : nullptr;
    job.yieldToWriter = true;
    NamedCompressorChooser chooser(codec);
    const Clock a = Clock::Now();
    if (!RunExportCommand(job, settings, composer, out, chooser, prompt, nullptr, {})) {
        return 1;
    }
    const Clock b = Clock::Now();
    std::printf("%s, %d x %d, codec %s\n", projectPath.c_str(), settings.width, settings.height,
                codec.c_str());
    Report("export (compose while the writer encodes)", settings.length, a, b);
    if (timeline) {
        std::printf("\nTimeline of the export (ms from its start)\n%s\n", spans.Format().c_str());
    }
    if (!encoderAlone) {
        return 0;
    }

    // The same frames composed beforehand, then handed to the writer alone on this thread.
    std::vector<PixelImage> frames(settings.length);
    composer.ResetForExport();
    const Clock c = Clock::Now();
    for (uint32_t n = 0; n < settings.length; ++n) {
        if (!frames[n].Create(settings.width, settings.height, 32)) {
            std::fprintf(stderr, "export_bench: out of memory at frame %u\n", n);
            return 1;
        }
        frames[n].Fill(settings.backgroundBgr);
        composer.Compose(n, frames[n]);
    }
    const Clock d = Clock::Now();
    AviWriter writer;
    NamedCompressorChooser again(codec);
    if (!writer.ChooseCompressor(again)) {
        return 1;
    }
    writer.Initialise();
    const double scaled = std::trunc(settings.frameRate * 10000.0);
    if (!writer.Open(frames.front().Header(), out, uint32_t(scaled), 10000)) {
        return 1;
    }
    const Clock e = Clock::Now();
    for (uint32_t n = 0; n < settings.length; ++n) {
        const PixelImage& previous = frames[n == 0 ? 0 : n - 1];
        if (!writer.WriteFrame(frames[n].Pixels(), frames[n].ByteSize(), previous.Pixels(), n)) {
            return 1;
        }
    }
    writer.Close();
    const Clock f = Clock::Now();
    Report("compose alone (into memory, no writer)", settings.length, c, d);
    Report("encoder alone (pre-rendered frames)", settings.length, e, f);
    std::printf("export / encoder alone: %.3f (wall clock)\n", Seconds(a, b) / Seconds(e, f));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string project, out, codec = "uncompressed";
    bool timeline = false, encoderAlone = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--codec") && i + 1 < argc) {
            (arg == "-o" ? out : codec) = argv[++i];
        } else if (arg == "--timeline") {
            timeline = true;
        } else if (arg == "--no-encoder-alone") {
            encoderAlone = false;
        } else if (project.empty() && arg[0] != '-') {
            project = arg;
        } else {
            project.clear();
            break;
        }
    }
    if (project.empty() || out.empty()) {
        std::fprintf(stderr,
                     "usage: export_bench PROJECT.xqm -o OUT.avi [--codec NAME] [--timeline] "
                     "[--no-encoder-alone]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    av_log_set_level(AV_LOG_ERROR);
    const int status = Run(project, out, codec, timeline, encoderAlone);
    ReleaseGuiApplication();
    return status;
}

// A minimal export of a project file to an AVI file through the engine's own export, for
// measuring the reference composition where the command-line tool is not at hand. Same usage:
//
//   reference_export PROJECT.xqm -o OUT.avi [--codec NAME]
//   reference_export PROJECT.xqm --still FRAME OUT.ppm     (one frame, to look at)
//
// Settings are read from the program's INI file and never written back.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/EngineProcess.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ExportJob.h"
#include "export/FrameComposer.h"
#include "media/FrameRenderer.h"
#include "media/ProjectLoader.h"
#include "media/QtGuiRuntime.h"
#include "media/TimeoutQuery.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"
#include "render/TrackEvaluation.h"

namespace {

using namespace kelvane;

class StderrPrompt : public UserPrompt {
  public:
    void ShowError(const std::string& message) override {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    bool AskYesNo(const std::string& message) override {
        std::fprintf(stderr, "%s -> no\n", message.c_str());
        return false;
    }
    bool AskOkCancel(const std::string& message) override {
        std::fprintf(stderr, "%s -> cancel\n", message.c_str());
        return false;
    }
};

class ProjectComposer : public FrameComposer {
  public:
    explicit ProjectComposer(Project& project) : project_(project) {}
    void ResetForExport() override {
        for (Track& track : project_.tracks) {
            ResetTrackEvalState(track);
            EvaluateTrack(track, 0);
        }
        project_.CopyDefaultMethodToTracks();
        for (FileEntry& entry : project_.files) {
            entry.currentFrame = -1;
        }
    }
    bool Compose(uint32_t frame, PixelImage& out) override {
        for (Track& track : project_.tracks) {
            EvaluateTrack(track, frame);
        }
        return DrawAllTracks(project_, out, DrawRect{0, 0, out.Width(), out.Height()});
    }

  private:
    Project& project_;
};

bool WritePpm(const PixelImage& image, const char* path) {
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) {
        return false;
    }
    std::fprintf(f, "P6\n%d %d\n255\n", image.Width(), image.Height());
    for (int32_t y = 0; y < image.Height(); ++y) {
        const uint32_t* row = image.Row32(y);
        for (int32_t x = 0; x < image.Width(); ++x) {
            const uint8_t rgb[3] = {uint8_t(row[x] >> 16), uint8_t(row[x] >> 8), uint8_t(row[x])};
            std::fwrite(rgb, 1, 3, f);
        }
    }
    return std::fclose(f) == 0;
}

int Usage(const char* self) {
    std::fprintf(stderr,
                 "usage: %s PROJECT.xqm -o OUT.avi [--codec NAME]\n"
                 "       %s PROJECT.xqm --still FRAME OUT.ppm\n",
                 self, self);
    return 2;
}

int Run(int argc, char** argv, StderrPrompt& prompt) {
    if (argc < 4) {
        return Usage(argv[0]);
    }
    const std::string projectPath = argv[1];
    std::string out, codec(kUncompressedName), still;
    long stillFrame = -1;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "--codec") == 0 && i + 1 < argc) {
            codec = argv[++i];
        } else if (std::strcmp(argv[i], "--still") == 0 && i + 2 < argc) {
            stillFrame = std::strtol(argv[++i], nullptr, 10);
            still = argv[++i];
        } else {
            return Usage(argv[0]);
        }
    }
    ProjectLoader loader(prompt);
    std::unique_ptr<Project> project = Project::Create();
    if (!project) {
        return 1;
    }
    project->ApplyDefaults();
    if (!ProjectFile::Read(FromUtf8(projectPath), *project, loader, prompt)) {
        std::fprintf(stderr, "cannot read %s\n", projectPath.c_str());
        return 1;
    }
    const ProjectSettings& s = project->settings;
    if (stillFrame >= 0) {
        PixelImage image;
        if (!image.Create(int32_t(s.width), int32_t(s.height), 32) ||
            !RenderFrame(*project, uint32_t(stillFrame), image, true) ||
            !WritePpm(image, still.c_str())) {
            std::fprintf(stderr, "cannot render frame %ld\n", stillFrame);
            return 1;
        }
        return 0;
    }
    ExportSettings settings;
    settings.width = int32_t(s.width);
    settings.height = int32_t(s.height);
    settings.frameRate = s.frameRate;
    settings.frameDuration = s.frameDuration;
    settings.length = s.length;
    settings.backgroundBgr = s.background;
    ProjectComposer composer(*project);
    ExportJob job;
    NamedCompressorChooser chooser(codec);
    if (!RunExportCommand(job, settings, composer, out, chooser, prompt, nullptr, {})) {
        return 1;
    }
    std::printf("%u frames\n", job.FramesWritten());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ProcessOptions options;
    options.iniBaseName = u"kelvane";
    options.readOnlySettings = true;
    EngineProcess engine(std::move(options));
    engine.Start();
    StderrPrompt prompt;
    SetTimeoutQuery(&prompt);
    EnsureGuiApplication();
    const int rc = Run(argc, argv, prompt);
    SetTimeoutQuery(nullptr);
    ReleaseGuiApplication();
    engine.Shutdown();
    return rc;
}

#include "cli/FrameMode.h"

#include "media/BmpWriter.h"
#include "media/FrameRenderer.h"
#include "model/DocumentMessages.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"
#include "platform/StepTimes.h"

namespace kelvane::cli {

namespace {

// The preview pane's text for a composition that failed.
constexpr const char* kDrawFailed = "描画に失敗しました。";

}  // namespace

int RunFrameMode(const CliOptions& options, Project& project, UserPrompt& prompt) {
    const ProjectSettings& settings = project.settings;
    PixelImage image;
    if (settings.width > uint32_t(INT32_MAX) || settings.height > uint32_t(INT32_MAX) ||
        !image.Create(int32_t(settings.width), int32_t(settings.height), 32)) {
        prompt.ShowError(messages::kSaveFailed);
        return kExitFailure;
    }
    bool drawn;
    {
        const StepTimer timer(Step::Compose);
        drawn = options.track ? RenderTrack(project, *options.track, options.frame, image)
                              : RenderFrame(project, options.frame, image, true);
    }
    if (!drawn) {
        // Nothing is written: the preview's save refuses a composition that failed.
        prompt.ShowError(kDrawFailed);
        prompt.ShowError(messages::kSaveFailed);
        return kExitFailure;
    }
    ClearFailureNote();
    const StepTimer timer(Step::BmpWrite);
    if (!WritePreviewBmp(FromUtf8(options.output), image)) {
        prompt.ShowError(WithFailureNote(messages::kSaveFailed));
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace kelvane::cli

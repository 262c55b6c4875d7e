#include "export/ProjectFrameComposer.h"

#include <limits>

#include "media/FrameRenderer.h"
#include "media/audio/SoundMixer.h"
#include "render/TrackEvaluation.h"
#include "settings/AppSettings.h"

namespace kelvane {

void ProjectFrameComposer::ResetForExport() {
    for (Track& track : project_.tracks) {
        ResetTrackEvalState(track);
        EvaluateTrack(track, 0, Settings().pixelQuality);
    }
    // A source image fetched for the preview may belong to another frame than the one the export
    // asks for first; forgetting it makes the first fetch read.
    for (FileEntry& entry : project_.files) {
        entry.currentFrame = -1;
    }
}

bool ProjectFrameComposer::Compose(uint32_t frame, PixelImage& out) {
    // No reset: the evaluation resumes where the previous frame left it. The job has filled the
    // background already.
    for (Track& track : project_.tracks) {
        EvaluateTrack(track, frame, Settings().pixelQuality);
    }
    return DrawAllTracks(project_, out, DrawRect{0, 0, out.Width(), out.Height()});
}

bool ProjectFrameComposer::HasSound() const {
    return ProjectHasSound(project_);
}

void ProjectFrameComposer::MixSound(int64_t s0, int64_t s1, float* out) {
    MixProjectSound(project_, s0, s1, out);
}

ExportSettings ExportSettingsOf(const Project& project) {
    const ProjectSettings& p = project.settings;
    const auto size = [](uint32_t value) {
        return value > uint32_t(std::numeric_limits<int32_t>::max()) ? 0 : int32_t(value);
    };
    ExportSettings s;
    s.width = size(p.width);
    s.height = size(p.height);
    s.frameRate = p.frameRate;
    s.frameDuration = p.frameDuration;
    s.length = p.length;
    s.backgroundBgr = p.background;
    return s;
}

}  // namespace kelvane

#include "model/ProjectSettingsCommands.h"

#include <cstdio>
#include <string>

#include "model/Document.h"
#include "model/DocumentMessages.h"
#include "model/TypedTime.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane {

ProjectSettingsForm ProjectSettingsCommands::FormForDialog() const {
    const ProjectSettings& s = doc_.GetProject().settings;
    ProjectSettingsForm form;
    form.basePath = std::u16string(PathView(s.basePath));
    form.width = s.width;
    form.height = s.height;
    form.frameRate = s.frameRate;
    form.length = FromUtf8(std::to_string(s.length));
    form.red = uint8_t(s.background & 0xFF);
    form.green = uint8_t((s.background >> 8) & 0xFF);
    form.blue = uint8_t((s.background >> 16) & 0xFF);
    form.defaultDrawMethod = s.defaultDrawMethod;
    return form;
}

bool ProjectSettingsCommands::Apply(const ProjectSettingsForm& form) {
    // The dialog keeps to these ranges; anything else would break the rescale or the renderer.
    if (form.width < 1 || form.width > 4096 || form.height < 1 || form.height > 4096 ||
        !(form.frameRate >= 0.001 && form.frameRate <= 1000.0) || form.defaultDrawMethod < 0 ||
        form.defaultDrawMethod > 4 || form.basePath.size() >= kPathUnits) {
        return false;
    }
    Project& project = doc_.BeginEdit();
    ProjectSettings& s = project.settings;
    uint32_t length = s.length;
    TypedTimeToFrames(ParseTypedTime(form.length), s.frameDuration, length);  // unreadable: kept

    bool rescale = false;
    if (form.frameRate != s.frameRate) {
        rescale = doc_.Prompt().AskOkCancel(messages::kFrameRateChanged);
    }
    PathBuffer basePath{};
    CopyPath(basePath, form.basePath);
    const uint32_t background =
        uint32_t(form.red) | uint32_t(form.green) << 8 | uint32_t(form.blue) << 16;
    if (!project.ApplySettings(rescale, form.width, form.height, length, background,
                               form.defaultDrawMethod, form.frameRate, basePath)) {
        doc_.ShowMemoryLost();
        return false;
    }
    if (s.length > kMaxProjectLength) {
        char text[128];
        std::snprintf(text, sizeof(text), messages::kLengthLimited, unsigned(kMaxProjectLength));
        doc_.Prompt().ShowError(text);
        s.length = kMaxProjectLength;
    }
    project.CopyDefaultMethodToTracks();
    doc_.UpdateAllViews(nullptr, UpdateHint::All);
    return true;
}

}  // namespace kelvane

#include "model/EventDefaults.h"

#include "model/Project.h"

namespace kelvane {

TrackEvent NewEventDefaults(const Project& project, int32_t fileId, uint32_t start,
                            int32_t imageWidth, int32_t imageHeight) {
    const FileKind kind = fileId >= 0 && size_t(fileId) < kFileSlots
                              ? project.files[size_t(fileId)].kind
                              : FileKind::None;
    TrackEvent event{};
    event.flags = kEventUsed | kEventParametric;
    event.start = start;
    event.fileId = fileId;
    if (kind == FileKind::Movie || kind == FileKind::Project) {
        event.step = project.settings.frameDuration;
    }
    if (kind == FileKind::Effect) {
        event.right = int32_t(project.settings.width);
        event.bottom = int32_t(project.settings.height);
    } else {
        event.right = imageWidth;
        event.bottom = imageHeight;
    }
    event.colour = 0x00FFFFFF;
    event.scale = 1.0f;
    return event;
}

}  // namespace kelvane

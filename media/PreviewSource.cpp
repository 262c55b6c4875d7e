#include "media/PreviewSource.h"

#include <limits>

#include "media/MediaSource.h"

namespace kelvane {
namespace {

// An audio-only file has no picture to bring to a frame: it shows nothing, which is no failure.
bool SoundOnly(const FileEntry& entry) {
    const MediaSource* source = MediaSource::Of(entry);
    return entry.kind == FileKind::Movie && source != nullptr && !source->movie &&
           source->image.Empty() && source->sound != nullptr;
}

PreviewSource ImageOf(FileEntry& entry, int64_t frame, bool fetch) {
    PreviewSource result;
    switch (entry.kind) {
        case FileKind::Movie:
        case FileKind::Project:
            if (fetch && !SoundOnly(entry)) {
                const bool inRange = frame >= 0 && frame <= std::numeric_limits<int32_t>::max();
                result.ok = inRange && MediaSource::GetFrame(entry, int32_t(frame));
            }
            [[fallthrough]];
        case FileKind::Image:
        case FileKind::Text:
            result.image = MediaSource::Image(entry);
            return result;
        default:
            return result;
    }
}

}  // namespace

PreviewSource FilePreview(Project& project, uint32_t fileId, uint32_t frame, bool fetch) {
    if (fileId >= kFileSlots) {
        return {};
    }
    return ImageOf(project.files[fileId], frame, fetch);
}

PreviewSource EventSourcePreview(Project& project, const TrackEvent& event, bool fetch) {
    if ((event.flags & kEventUsed) == 0 || event.fileId < 0 || size_t(event.fileId) >= kFileSlots) {
        return {};
    }
    FileEntry& entry = project.files[size_t(event.fileId)];
    const RefTime duration = MediaSource::GetFrameDuration(entry);
    // A source without a frame duration has one picture only.
    const int64_t frame = duration > 0 ? event.position / duration : 0;
    return ImageOf(entry, frame, fetch);
}

}  // namespace kelvane

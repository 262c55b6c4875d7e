#include "ui/preview/PreviewComposer.h"

#include <limits>

#include "media/FrameRenderer.h"
#include "media/MediaSource.h"
#include "media/PreviewSource.h"

namespace kelvane {
namespace {

QString effectField(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

}  // namespace

PreviewPicture PreviewComposer::serve(Project& project, const PreviewRequest& request,
                                      const TrackEvent& workEvent) {
    switch (request.kind) {
        case PreviewKind::FileImage: {  // the track field holds the file ID
            PreviewPicture texts = effectTexts(project, int64_t(request.track));
            return texts.content != PreviewPicture::Content::Nothing
                       ? texts
                       : sourceImage(
                             FilePreview(project, request.track, request.frame, request.pending));
        }
        case PreviewKind::SingleEvent: {
            if ((workEvent.flags & kEventUsed) == 0) {
                return {};
            }
            PreviewPicture texts = effectTexts(project, workEvent.fileId);
            return texts.content != PreviewPicture::Content::Nothing
                       ? texts
                       : sourceImage(EventSourcePreview(project, workEvent, request.pending));
        }
        case PreviewKind::TrackAtFrame:
        case PreviewKind::AllTracksAtFrame:
            return composition(project, request);
        default:
            return {};
    }
}

PreviewPicture PreviewComposer::effectTexts(Project& project, int64_t fileId) {
    PreviewPicture picture;
    if (fileId < 0 || fileId >= int64_t(kFileSlots)) {
        return picture;
    }
    const FileEntry& entry = project.files[size_t(fileId)];
    const MediaSource* source = MediaSource::Of(entry);
    if (entry.kind == FileKind::Effect && source != nullptr && source->effect) {
        const EffectInfo& info = source->effect->Info();
        picture.content = PreviewPicture::Content::EffectTexts;
        picture.texts = {effectField(EffectText(info.name)), effectField(EffectText(info.text)),
                         effectField(EffectText(info.description))};
    }
    return picture;
}

PreviewPicture PreviewComposer::sourceImage(const PreviewSource& source) {
    PreviewPicture picture;
    picture.failed = !source.ok;
    picture.image = source.image;
    if (source.image != nullptr && !source.image->Empty()) {
        picture.content = PreviewPicture::Content::Image;
    }
    return picture;
}

PreviewPicture PreviewComposer::composition(Project& project, const PreviewRequest& request) {
    PreviewPicture picture;
    const ProjectSettings& settings = project.settings;
    const bool sized = settings.width <= uint32_t(std::numeric_limits<int32_t>::max()) &&
                       settings.height <= uint32_t(std::numeric_limits<int32_t>::max());
    if (!sized || (frame_.Width() != int32_t(settings.width) ||
                   frame_.Height() != int32_t(settings.height) || frame_.Empty())) {
        if (!sized || !frame_.Create(int32_t(settings.width), int32_t(settings.height), 32)) {
            frame_.Release();
            picture.noFrame = true;
            return picture;
        }
    }
    const bool drawn = request.kind == PreviewKind::TrackAtFrame
                           ? RenderTrack(project, request.track, request.frame, frame_)
                           : RenderFrame(project, request.frame, frame_, true);
    picture.content = PreviewPicture::Content::Image;
    picture.image = &frame_;
    picture.failed = !drawn;
    picture.composed = true;
    return picture;
}

}  // namespace kelvane

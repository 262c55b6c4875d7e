#include "media/MediaSource.h"

#include <new>
#include <utility>

#include "app/settings/AppSettings.h"
#include "media/FrameRenderer.h"
#include "media/MovieReader.h"
#include "media/PictureLoader.h"
#include "media/PicturePlugins.h"
#include "media/ProjectLoader.h"
#include "media/SourcePath.h"
#include "media/TextImage.h"

namespace kelvane {

namespace {

// Makes a complete new source the slot's content. The reference duration survives, as it is the
// slot's own option and not part of what was loaded.
bool Install(FileEntry& entry, FileKind kind, std::unique_ptr<MediaSource> fresh,
             std::u16string_view path) {
    PathBuffer stored{};
    if (!CopyPath(stored, path)) {
        return false;
    }
    const RefTime referenceDuration = entry.referenceDuration;
    entry.Release();
    entry.referenceDuration = referenceDuration;
    entry.loaded = std::move(fresh);
    entry.kind = kind;
    std::copy(std::begin(stored), std::end(stored), entry.path);
    entry.colour = kNoTransparentColour;
    entry.currentFrame = -1;
    return true;
}

std::unique_ptr<MediaSource> NewSource() {
    return std::unique_ptr<MediaSource>(new (std::nothrow) MediaSource());
}

// Tries the candidates of a relative path in order; the slot keeps the path as given.
template <typename Load>
bool OpenResolved(FileEntry& entry, std::u16string_view path, const Project& owner, Load load) {
    PathBuffer given{};
    if (!CopyPath(given, path)) {
        return false;
    }
    for (const std::u16string& candidate : SourcePathCandidates(
             path, PathView(owner.settings.basePath), PathView(owner.projectFolder))) {
        if (load(candidate)) {
            std::copy(std::begin(given), std::end(given), entry.path);
            return true;
        }
    }
    return false;
}

// The frame index clamped to a source of `count` frames; false when the source has none.
bool ClampFrame(int32_t& index, uint32_t count) {
    if (count == 0) {
        return false;
    }
    if (uint32_t(index) >= count) {
        index = index < 0 ? 0 : int32_t(count - 1);
    }
    return true;
}

}  // namespace

MediaSource::MediaSource() = default;
MediaSource::~MediaSource() {
    if (movie) {
        movie->Close();
    }
}

MediaSource* MediaSource::Of(FileEntry& entry) {
    return static_cast<MediaSource*>(entry.loaded.get());
}

const MediaSource* MediaSource::Of(const FileEntry& entry) {
    return static_cast<const MediaSource*>(entry.loaded.get());
}

bool MediaSource::LoadMovie(FileEntry& entry, std::u16string_view fullPath) {
    auto fresh = NewSource();
    if (!fresh) {
        return false;
    }
    fresh->movie.reset(new (std::nothrow) MovieReader());
    if (!fresh->movie || !fresh->movie->Open(fullPath, entry.referenceDuration) ||
        !fresh->image.Create(fresh->movie->Width(), fresh->movie->Height(), 32)) {
        return false;
    }
    return Install(entry, FileKind::Movie, std::move(fresh), fullPath);
}

bool MediaSource::LoadPicture(FileEntry& entry, std::u16string_view fullPath) {
    auto fresh = NewSource();
    if (!fresh || !LoadPictureFile(fullPath, PicturePlugins(), fresh->image)) {
        return false;
    }
    return Install(entry, FileKind::Image, std::move(fresh), fullPath);
}

bool MediaSource::LoadEffect(FileEntry& entry, std::u16string_view fullPath) {
    auto fresh = NewSource();
    if (!fresh) {
        return false;
    }
    fresh->effect.reset(new (std::nothrow) EffectPlugin());
    if (!fresh->effect || !kelvane::LoadEffect(*fresh->effect, fullPath)) {
        return false;
    }
    return Install(entry, FileKind::Effect, std::move(fresh), fullPath);
}

bool MediaSource::LoadProject(FileEntry& entry, std::u16string_view fullPath,
                              ProjectLoader& loader) {
    auto fresh = NewSource();
    if (!fresh) {
        return false;
    }
    fresh->project = Project::Create();
    if (!fresh->project || !loader.ReadNested(fullPath, *fresh->project)) {
        return false;
    }
    const ProjectSettings& nested = fresh->project->settings;
    if (!fresh->image.Create(int32_t(nested.width), int32_t(nested.height), 32)) {
        return false;
    }
    return Install(entry, FileKind::Project, std::move(fresh), fullPath);
}

bool MediaSource::OpenMovie(FileEntry& entry, std::u16string_view path, const Project& owner) {
    return OpenResolved(entry, path, owner,
                        [&](std::u16string_view full) { return LoadMovie(entry, full); });
}

bool MediaSource::OpenPicture(FileEntry& entry, std::u16string_view path, const Project& owner) {
    return OpenResolved(entry, path, owner,
                        [&](std::u16string_view full) { return LoadPicture(entry, full); });
}

bool MediaSource::OpenEffect(FileEntry& entry, std::u16string_view path, const Project& owner) {
    return OpenResolved(entry, path, owner,
                        [&](std::u16string_view full) { return LoadEffect(entry, full); });
}

bool MediaSource::OpenProject(FileEntry& entry, std::u16string_view path, const Project& owner,
                              ProjectLoader& loader) {
    return OpenResolved(entry, path, owner,
                        [&](std::u16string_view full) { return LoadProject(entry, full, loader); });
}

bool MediaSource::MakeText(FileEntry& entry, std::u16string_view text, uint32_t textColour,
                           const LogFont& font) {
    auto fresh = NewSource();
    if (!fresh || !MakeTextImage(text, textColour, font, Settings().textImageMode, fresh->image)) {
        return false;
    }
    std::u16string copy;
    try {
        copy.assign(text);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const RefTime referenceDuration = entry.referenceDuration;
    entry.Release();
    entry.referenceDuration = referenceDuration;
    entry.loaded = std::move(fresh);
    entry.kind = FileKind::Text;
    entry.text = std::move(copy);
    entry.textLength = uint32_t(entry.text.size());
    entry.font = font;
    entry.colour = TextKeyColour(textColour);
    return true;
}

bool MediaSource::GetFrame(FileEntry& entry, int32_t index) {
    MediaSource* source = Of(entry);
    if (source == nullptr || source->image.Empty()) {
        return false;
    }
    if (!ClampFrame(index, FrameCount(entry))) {
        return false;
    }
    if (index == entry.currentFrame) {
        return true;
    }
    entry.currentFrame = index;
    bool ok = false;
    if (entry.kind == FileKind::Movie && source->movie) {
        ok = source->movie->ReadFrame(index, source->image.Pixels(), source->image.ByteSize(),
                                      Settings().readEverySample != 0);
    } else if (entry.kind == FileKind::Project && source->project) {
        ok = RenderFrame(*source->project, uint32_t(index), source->image, true);
    }
    if (!ok && Settings().reloadFailedFrame != 0) {
        entry.currentFrame = -1;
    }
    return ok;
}

RefTime MediaSource::GetFrameDuration(const FileEntry& entry) {
    const MediaSource* source = Of(entry);
    if (source == nullptr) {
        return 0;
    }
    if (entry.kind == FileKind::Movie && source->movie) {
        return source->movie->FrameDuration();
    }
    if (entry.kind == FileKind::Project && source->project) {
        return source->project->settings.frameDuration;
    }
    return 0;
}

uint32_t MediaSource::FrameCount(const FileEntry& entry) {
    const MediaSource* source = Of(entry);
    if (source == nullptr) {
        return 0;
    }
    if (entry.kind == FileKind::Movie && source->movie) {
        return source->movie->FrameCount();
    }
    if (entry.kind == FileKind::Project && source->project) {
        return source->project->settings.length;
    }
    return 0;
}

const PixelImage* MediaSource::Image(const FileEntry& entry) {
    const MediaSource* source = Of(entry);
    if (source == nullptr || source->image.Empty()) {
        return nullptr;
    }
    return &source->image;
}

void MediaSource::Release(FileEntry& entry) {
    entry.Release();
}

bool MediaSource::CopyDescriptor(FileEntry& entry, const FileEntry& from) {
    return entry.CopyDescriptorFrom(from);
}

}  // namespace kelvane

#include "media/MediaSource.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "media/FrameRenderer.h"
#include "media/MovieReader.h"
#include "media/PictureLoader.h"
#include "media/PicturePlugins.h"
#include "media/ProjectLoader.h"
#include "media/SameMovieSources.h"
#include "media/SourcePath.h"
#include "media/TextImage.h"
#include "media/audio/SoundClip.h"
#include "model/ProjectFileFormat.h"
#include "platform/FailureNote.h"
#include "platform/File.h"
#include "settings/AppSettings.h"

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
    const uint32_t pixelFlags = entry.pixelFlags & AllowedPixelFlags(kind);
    entry.Release();
    entry.referenceDuration = referenceDuration;
    entry.pixelFlags = pixelFlags;
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

// The frame index clamped to a source of `count` frames. Indices are 32-bit signed, so a count
// beyond their range cannot be reached anyway.
int32_t ClampFrame(int32_t index, uint32_t count) {
    count = std::min<uint32_t>(count, uint32_t(std::numeric_limits<int32_t>::max()));
    if (uint32_t(index) >= count) {
        return index < 0 || count == 0 ? 0 : int32_t(count - 1);
    }
    return index;
}

// Whether the file starts with the project file's magic. Kind detection tries every dropped file
// as a project first, and the reader takes the whole file into memory: a large movie must not be
// read completely only to find that it is no project.
bool HasProjectMagic(std::u16string_view path) {
    File file;
    uint8_t magic[sizeof(project_file::kMagic)];
    return file.Open(path, File::Mode::Read) && file.Read(magic, sizeof(magic)) &&
           std::memcmp(magic, project_file::kMagic, sizeof(magic)) == 0;
}

// A full path that the slot could not store is refused before anything is built for it.
bool Storable(std::u16string_view path) {
    return path.size() < kPathUnits;
}

}  // namespace

MediaSource::MediaSource() = default;
MediaSource::~MediaSource() {
    same_movie::Leave(*this);
    if (movie) {
        movie->Close();
    }
}

// The model only knows that a slot owns some loaded object; anything but a media source is not
// ours to draw from.
MediaSource* MediaSource::Of(FileEntry& entry) {
    return dynamic_cast<MediaSource*>(entry.loaded.get());
}

const MediaSource* MediaSource::Of(const FileEntry& entry) {
    return dynamic_cast<const MediaSource*>(entry.loaded.get());
}

bool MediaSource::LoadMovie(FileEntry& entry, std::u16string_view fullPath) {
    auto fresh = Storable(fullPath) ? NewSource() : nullptr;
    if (!fresh) {
        return false;
    }
    std::string soundFailure;
    bool hasPicture = false;
    fresh->sound = SoundClip::Load(ToNativePath(fullPath), soundFailure, &hasPicture);
    if (fresh->sound && !hasPicture) {
        // Sound alone: nothing to draw, nothing to read frames from.
        return Install(entry, FileKind::Movie, std::move(fresh), fullPath);
    }
    fresh->movie.reset(new (std::nothrow) MovieReader());
    if (!fresh->movie || !fresh->movie->Open(fullPath, entry.referenceDuration)) {
        NoteFileFailure(fullPath, "動画としてデコードできません。");
        return false;
    }
    if (!fresh->image.Create(fresh->movie->Width(), fresh->movie->Height(), 32)) {
        NoteFailure(fullPath, "動画の画像のためのメモリが足りません。");
        return false;
    }
    fresh->hasAlpha = fresh->movie->HasAlpha();
    same_movie::Join(*fresh);
    return Install(entry, FileKind::Movie, std::move(fresh), fullPath);
}

bool MediaSource::LoadPicture(FileEntry& entry, std::u16string_view fullPath) {
    auto fresh = Storable(fullPath) ? NewSource() : nullptr;
    if (!fresh) {
        return false;
    }
    // A plug-in that refuses the request for alpha is asked again as it always was.
    if (!LoadPictureFile(fullPath, PicturePlugins(), fresh->image, true) &&
        !LoadPictureFile(fullPath, PicturePlugins(), fresh->image, false)) {
        NoteFileFailure(fullPath, "画像として読み込めません。");
        return false;
    }
    if (fresh->image.Alpha() == PixelAlpha::Straight) {
        // Drawn without its alpha, the picture stays what it always was (a plug-in's picture is
        // composited over black): that is a second reading of the file.
        fresh->hasAlpha = true;
        fresh->alphaImage = std::move(fresh->image);
        if (!LoadPictureFile(fullPath, PicturePlugins(), fresh->image, false)) {
            NoteFileFailure(fullPath, "画像として読み込めません。");
            return false;
        }
    }
    return Install(entry, FileKind::Image, std::move(fresh), fullPath);
}

bool MediaSource::LoadEffect(FileEntry& entry, std::u16string_view fullPath) {
    auto fresh = Storable(fullPath) ? NewSource() : nullptr;
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
    if (!Storable(fullPath)) {
        return false;
    }
    if (!HasProjectMagic(fullPath)) {
        NoteFileFailure(fullPath, "プロジェクトファイルではありません。");
        return false;
    }
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
    // The text and the font may be the entry's own, which the release below clears.
    const LogFont fontCopy = font;
    auto fresh = NewSource();
    // Both images are made here, on the thread that edits the project: the one with smooth edges
    // is drawn while the entry's flag asks for it.
    if (!fresh ||
        !MakeTextImage(text, textColour, fontCopy, Settings().textImageMode, fresh->image) ||
        !MakeTextImage(text, textColour, fontCopy, Settings().textImageMode, fresh->alphaImage,
                       true)) {
        return false;
    }
    std::u16string copy;
    try {
        copy.assign(text);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const RefTime referenceDuration = entry.referenceDuration;
    const uint32_t pixelFlags = entry.pixelFlags & AllowedPixelFlags(FileKind::Text);
    entry.Release();
    entry.referenceDuration = referenceDuration;
    entry.pixelFlags = pixelFlags;
    entry.loaded = std::move(fresh);
    entry.kind = FileKind::Text;
    entry.text = std::move(copy);
    entry.textLength = uint32_t(entry.text.size());
    entry.font = fontCopy;
    entry.colour = TextKeyColour(textColour);
    return true;
}

bool MediaSource::GetFrame(FileEntry& entry, int32_t index) {
    MediaSource* source = Of(entry);
    if (source == nullptr || source->image.Empty()) {
        return false;
    }
    const bool movie = entry.kind == FileKind::Movie && source->movie;
    const bool project = entry.kind == FileKind::Project && source->project;
    if (!movie && !project) {
        return false;  // nothing to fetch from; the image and its frame stay as they are
    }
    // A nested project without frames still has its tracks at frame 0 to show.
    index = ClampFrame(index, FrameCount(entry));
    const uint32_t flags = entry.pixelFlags & AllowedPixelFlags(entry.kind);
    if (index == entry.currentFrame && flags == source->frameFlags) {
        return true;
    }
    entry.currentFrame = index;
    source->frameFlags = flags;
    bool ok = false;
    if (movie) {
        const bool keepAlpha = (flags & kPixelUseAlpha) != 0 && source->hasAlpha;
        source->movie->SetKeepAlpha(keepAlpha);
        source->image.SetAlpha(keepAlpha ? PixelAlpha::Straight : PixelAlpha::None);
        ok = same_movie::CopyHeldFrame(*source, index) ||
             source->movie->ReadFrame(index, source->image.Pixels(), source->image.ByteSize(),
                                      Settings().readEverySample != 0);
        // A failed read may have changed part of the image.
        source->heldFrame = ok ? index : -1;
    } else {
        ok = RenderFrame(*source->project, uint32_t(index), source->image, true,
                         (flags & kPixelTransparentBackground) != 0);
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

const PixelImage* MediaSource::ImageToDraw(FileEntry& entry) {
    MediaSource* source = Of(entry);
    if (source == nullptr || source->image.Empty()) {
        return nullptr;
    }
    if (entry.kind == FileKind::Image && (entry.pixelFlags & kPixelUseAlpha) != 0 &&
        !source->alphaImage.Empty()) {
        return &source->alphaImage;
    }
    if (entry.kind == FileKind::Text && (entry.pixelFlags & kPixelSmoothText) != 0 &&
        !source->alphaImage.Empty()) {
        return &source->alphaImage;
    }
    return &source->image;
}

const SoundClip* MediaSource::Sound(const FileEntry& entry) {
    const MediaSource* source = Of(entry);
    if (source == nullptr || entry.kind != FileKind::Movie) {
        return nullptr;
    }
    return source->sound.get();
}

void MediaSource::Release(FileEntry& entry) {
    entry.Release();
}

bool MediaSource::CopyDescriptor(FileEntry& entry, const FileEntry& from) {
    return entry.CopyDescriptorFrom(from);
}

}  // namespace kelvane

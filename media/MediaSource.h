#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "media/EffectPlugin.h"
#include "model/FileEntry.h"
#include "model/LoadedSource.h"
#include "model/Project.h"
#include "render/PixelImage.h"

namespace kelvane {

class MovieReader;
class ProjectLoader;
class SoundClip;

// The loaded object behind one file-table slot: exactly the object of the slot's kind, plus the
// image the renderer draws from for movies, pictures, texts and nested projects. The slot's
// descriptor (kind, path, colour, font, text, current frame) stays in the FileEntry.
class MediaSource final : public LoadedSource {
  public:
    MediaSource();
    ~MediaSource() override;

    std::unique_ptr<MovieReader> movie;
    PixelImage image;
    std::unique_ptr<EffectPlugin> effect;
    std::unique_ptr<Project> project;
    // The sound of a movie or of an audio-only file (a movie slot without a reader and without
    // an image: it sounds and draws nothing); null for a file without sound.
    std::shared_ptr<const SoundClip> sound;
    // The movie frame the image holds after a successful read; -1 when unknown.
    int32_t heldFrame = -1;
    // The file has an alpha channel (pictures, movies).
    bool hasAlpha = false;
    // Drawn instead of `image` while the entry's pixel flags ask for it: a picture with its alpha
    // (loaded with the picture; `image` is the picture as drawn without), a text with smooth
    // edges (made with the text).
    PixelImage alphaImage;
    // The pixel flags the image of a movie or nested project was fetched with.
    uint32_t frameFlags = 0;

    bool HasAlpha() const override { return hasAlpha; }

    // The loaded source of a slot; null when nothing is loaded (kind 0 or a snapshot's descriptor).
    static MediaSource* Of(FileEntry& entry);
    static const MediaSource* Of(const FileEntry& entry);

    // Build the object of a kind for a full path (no resolution). On success the slot's previous
    // content is released and replaced, the kind and the path are set and the transparent colour
    // becomes "none"; on failure the slot stays exactly as it was. A movie opens with the slot's
    // reference frame duration. A project is only read from a file that begins with "MPRJ".
    static bool LoadMovie(FileEntry& entry, std::u16string_view fullPath);
    static bool LoadPicture(FileEntry& entry, std::u16string_view fullPath);
    static bool LoadEffect(FileEntry& entry, std::u16string_view fullPath);
    static bool LoadProject(FileEntry& entry, std::u16string_view fullPath, ProjectLoader& loader);

    // The same for a path as the entry holds it, resolved against the owning project; on success
    // the slot keeps the path as given.
    static bool OpenMovie(FileEntry& entry, std::u16string_view path, const Project& owner);
    static bool OpenPicture(FileEntry& entry, std::u16string_view path, const Project& owner);
    static bool OpenEffect(FileEntry& entry, std::u16string_view path, const Project& owner);
    static bool OpenProject(FileEntry& entry, std::u16string_view path, const Project& owner,
                            ProjectLoader& loader);

    // A text entry: renders the text with the "TextImageMode" setting; the key colour becomes
    // the slot's colour. On failure the slot stays as it was.
    static bool MakeText(FileEntry& entry, std::u16string_view text, uint32_t textColour,
                         const LogFont& font);

    // Brings a movie's or nested project's image to a source frame: clamped to the source's
    // frames (a nested project of length 0 shows its frame 0), a cache hit when the image already
    // holds it, "ReloadFailedFrame" after a failure. False for a slot with nothing to fetch from.
    static bool GetFrame(FileEntry& entry, int32_t index);
    static RefTime GetFrameDuration(const FileEntry& entry);
    static uint32_t FrameCount(const FileEntry& entry);
    // The image drawn for kinds 1, 2, 3 and 5; null when there is none.
    static const PixelImage* Image(const FileEntry& entry);
    // The image to draw as the entry's pixel flags say (after GetFrame for movies and nested
    // projects): a picture's alpha, a text's smooth edges; null when there is none.
    static const PixelImage* ImageToDraw(FileEntry& entry);

    // The sound of a movie slot; null when it has none.
    static const SoundClip* Sound(const FileEntry& entry);

    static void Release(FileEntry& entry);
    // Kind, text, path, reference duration, colour and font of another slot; no loaded object.
    static bool CopyDescriptor(FileEntry& entry, const FileEntry& from);
};

}  // namespace kelvane

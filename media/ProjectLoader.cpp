#include "media/ProjectLoader.h"

#include "media/MediaSource.h"
#include "model/ProjectFile.h"

namespace kelvane {

bool ProjectLoader::OpenEntry(Project& owner, FileEntry& entry) {
    const std::u16string path(PathView(entry.path));
    return OpenFile(owner, entry, entry.kind, path);
}

bool ProjectLoader::OpenFile(const Project& owner, FileEntry& entry, FileKind kind,
                             std::u16string_view path) {
    switch (kind) {
        case FileKind::Movie:
            return MediaSource::OpenMovie(entry, path, owner);
        case FileKind::Image:
            return MediaSource::OpenPicture(entry, path, owner);
        case FileKind::Effect:
            return MediaSource::OpenEffect(entry, path, owner);
        case FileKind::Project:
            return MediaSource::OpenProject(entry, path, owner, *this);
        default:
            return false;
    }
}

bool ProjectLoader::MakeText(Project&, FileEntry& entry, std::u16string_view text,
                             uint32_t textColour, const LogFont& font) {
    return MediaSource::MakeText(entry, text, textColour, font);
}

bool ProjectLoader::ReadNested(std::u16string_view fullPath, Project& target) {
    return ProjectFile::Read(fullPath, target, *this, prompt_);
}

}  // namespace kelvane

#include "media/ProjectLoader.h"

#include <filesystem>
#include <system_error>

#include "media/MediaRelinks.h"
#include "media/SourcePath.h"

#include "media/MediaSource.h"
#include "model/ProjectFile.h"

namespace kelvane {

bool ProjectLoader::OpenEntry(Project& owner, FileEntry& entry) {
    const std::u16string path(PathView(entry.path));
    if (OpenFile(owner, entry, entry.kind, path)) {
        return true;
    }
    return relinks_ != nullptr && !relinks_->Empty() && OpenRelinked(owner, entry);
}

namespace {

// What an entry was before a failed load, to try it again elsewhere.
struct EntryDescription {
    FileKind kind;
    RefTime referenceDuration;
    std::u16string path;

    explicit EntryDescription(const FileEntry& entry)
        : kind(entry.kind),
          referenceDuration(entry.referenceDuration),
          path(PathView(entry.path)) {}

    void restore(FileEntry& entry, std::u16string_view newPath) const {
        entry.Release();
        entry.kind = kind;
        entry.referenceDuration = referenceDuration;
        CopyPath(entry.path, newPath);
    }
};

bool isRelative(std::u16string_view path) {
    return !path.empty() && path.front() == u'\\';
}

}  // namespace

bool ProjectLoader::OpenRelinked(Project& owner, FileEntry& entry) {
    const EntryDescription old(entry);
    const std::u16string_view basePath = PathView(owner.settings.basePath);
    const std::u16string_view projectFolder = PathView(owner.projectFolder);
    for (const std::u16string& full : SourcePathCandidates(old.path, basePath, projectFolder)) {
        for (const std::u16string& moved : relinks_->Candidates(full)) {
            std::error_code error;
            if (!std::filesystem::is_regular_file(ToNativePath(moved), error)) {
                continue;
            }
            const std::u16string stored =
                StoredMediaPath(moved, isRelative(old.path), basePath, projectFolder);
            if (stored.size() >= kPathUnits) {
                continue;
            }
            old.restore(entry, stored);
            if (OpenFile(owner, entry, old.kind, stored)) {
                relinks_->CountRelinked();
                return true;
            }
        }
    }
    old.restore(entry, old.path);
    return false;
}

bool ProjectLoader::OpenLocated(Project& owner, FileEntry& entry, std::u16string_view located) {
    const EntryDescription old(entry);
    const std::u16string_view basePath = PathView(owner.settings.basePath);
    const std::u16string_view projectFolder = PathView(owner.projectFolder);
    const std::u16string stored =
        StoredMediaPath(located, isRelative(old.path), basePath, projectFolder);
    if (located.empty() || stored.size() >= kPathUnits) {
        return false;
    }
    old.restore(entry, stored);
    if (!OpenFile(owner, entry, old.kind, stored)) {
        return false;
    }
    if (relinks_ != nullptr) {
        // The other files of the old folder are looked for in the new one.
        const std::u16string newFolder = FolderOf(located);
        for (const std::u16string& full : SourcePathCandidates(old.path, basePath, projectFolder)) {
            relinks_->Add(FolderOf(full), newFolder);
        }
        relinks_->CountRelinked();
    }
    return true;
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

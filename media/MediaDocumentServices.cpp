#include "media/MediaDocumentServices.h"

#include "media/MediaRelinks.h"

#include "media/MediaSource.h"
#include "model/ProjectFile.h"

namespace kelvane {

bool MediaDocumentServices::ReadProject(std::u16string_view path, Project& project) {
    // Each opened project starts with no relinks: its folders are its own.
    MediaRelinks relinks;
    MediaRelinks* before = loader_.Relinks();
    loader_.SetRelinks(&relinks);
    const bool read = ProjectFile::Read(path, project, loader_, loader_.Prompt());
    loader_.SetRelinks(before);
    lastRelinked_ = read ? relinks.RelinkedCount() : 0;
    return read;
}

bool MediaDocumentServices::ReadProjectBytes(const std::vector<uint8_t>& bytes,
                                             std::u16string_view folder, Project& project) {
    return ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), folder, project, loader_,
                                       loader_.Prompt());
}

bool MediaDocumentServices::WriteProject(std::u16string_view path, Project& project) {
    return ProjectFile::Write(path, project);
}

bool MediaDocumentServices::OpenFile(const Project& paths, FileEntry& entry, FileKind kind,
                                     std::u16string_view path) {
    return loader_.OpenFile(paths, entry, kind, path);
}

bool MediaDocumentServices::MakeText(FileEntry& entry, std::u16string_view text,
                                     uint32_t textColour, const LogFont& font) {
    return MediaSource::MakeText(entry, text, textColour, font);
}

void MediaDocumentServices::ImageSize(const FileEntry& entry, int32_t& width,
                                      int32_t& height) const {
    const PixelImage* image = MediaSource::Image(entry);
    width = image != nullptr ? image->Width() : 0;
    height = image != nullptr ? image->Height() : 0;
}

}  // namespace kelvane

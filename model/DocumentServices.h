#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "model/FileEntry.h"
#include "model/FileKind.h"
#include "platform/FailureNote.h"
#include "platform/LogFont.h"

namespace kelvane {

class Project;

// Everything the document needs from the project file and from the media layer, so that the
// document, its history and its commands live in the model and can be driven without media.
// The application implements it over the project file reader and writer and the media sources.
class DocumentServices {
  public:
    virtual ~DocumentServices() = default;

    // Reads a project file into `project`, which is empty with the defaults applied. The reader
    // asks its own questions about media that fail to load. False when the file cannot be used.
    virtual bool ReadProject(std::u16string_view path, Project& project) = 0;
    // Reads project file bytes held in memory, as ReadProject reads a file, with `folder` as the
    // project folder: a project recovered from its crash journal.
    virtual bool ReadProjectBytes(const std::vector<uint8_t>& bytes, std::u16string_view folder,
                                  Project& project) {
        (void)bytes;
        (void)folder;
        (void)project;
        return false;
    }
    // Writes the project file; false when it could not be written completely. On success the
    // project knows its new folder.
    virtual bool WriteProject(std::u16string_view path, Project& project) = 0;

    // Loads the file at `path` as a source of the given kind (Movie, Image, Effect or Project)
    // into `entry`. A path beginning with a backslash is resolved against the base path and the
    // project folder of `paths`; the path is stored as given. The new object is complete before
    // the slot's old content goes: on failure the slot is as it was. Success leaves the colour at
    // kNoTransparentColour. A movie uses the entry's reference duration, set by the caller.
    virtual bool OpenFile(const Project& paths, FileEntry& entry, FileKind kind,
                          std::u16string_view path) = 0;
    // Renders a text entry: text colour 0x00BBGGRR and font. On failure the slot is as it was.
    virtual bool MakeText(FileEntry& entry, std::u16string_view text, uint32_t textColour,
                          const LogFont& font) = 0;

    // Kind detection for a file given without a kind: tried as a project file, an effect module,
    // a picture and a movie, in this order; the first that loads decides.
    virtual bool DetectAndOpen(const Project& paths, FileEntry& entry, std::u16string_view path) {
        for (FileKind kind :
             {FileKind::Project, FileKind::Effect, FileKind::Image, FileKind::Movie}) {
            if (OpenFile(paths, entry, kind, path)) {
                return true;
            }
        }
        // Each kind has said why it is not that kind; together that is one thing to say. A file
        // that could not be reached at all keeps the system's reason.
        if (!LastFailureNote().reason.empty() && !LastFailureNote().system) {
            NoteFailure(path,
                        "対応している種類のファイルではありません（プロジェクト、効果、画像、"
                        "動画のどれとしても読み込めません）。");
        }
        return false;
    }

    // The size of the entry's loaded image, 0 x 0 without one: the region of a new event.
    virtual void ImageSize(const FileEntry& entry, int32_t& width, int32_t& height) const {
        (void)entry;
        width = 0;
        height = 0;
    }
};

}  // namespace kelvane

#pragma once

#include "media/ProjectLoader.h"
#include "model/DocumentServices.h"

namespace kelvane {

// The document's access to project files and media, over the project file reader and writer and
// the media sources. Questions while reading go to the prompt the loader was given.
class MediaDocumentServices final : public DocumentServices {
  public:
    explicit MediaDocumentServices(UserPrompt& prompt) : loader_(prompt) {}

    bool ReadProject(std::u16string_view path, Project& project) override;
    bool ReadProjectBytes(const std::vector<uint8_t>& bytes, std::u16string_view folder,
                          Project& project) override;
    bool WriteProject(std::u16string_view path, Project& project) override;
    bool OpenFile(const Project& paths, FileEntry& entry, FileKind kind,
                  std::u16string_view path) override;
    bool MakeText(FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override;
    void ImageSize(const FileEntry& entry, int32_t& width, int32_t& height) const override;

    // How many entries the last ReadProject loaded from where their folder went (a file the
    // user pointed at, and the other files of its old folder found beside it).
    size_t LastRelinkedCount() const { return lastRelinked_; }

  private:
    ProjectLoader loader_;
    size_t lastRelinked_ = 0;
};

}  // namespace kelvane

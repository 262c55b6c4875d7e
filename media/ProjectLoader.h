#pragma once

#include <cstdint>
#include <string_view>

#include "model/SourceLoader.h"

namespace kelvane {

class UserPrompt;

// Loads the media of file entries for the project file reader and the document: every kind
// through its media source, nested projects through the project file reader again, with the
// reader's questions going to `prompt`.
class ProjectLoader final : public SourceLoader {
  public:
    explicit ProjectLoader(UserPrompt& prompt) : prompt_(prompt) {}

    bool OpenEntry(Project& owner, FileEntry& entry) override;
    // Opens a file of a known kind (movie, picture, effect or nested project) for `entry`, its
    // path resolved against `owner`; the slot keeps the path as given.
    bool OpenFile(const Project& owner, FileEntry& entry, FileKind kind, std::u16string_view path);
    bool MakeText(Project& owner, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override;

    // Reads a nested project's file (a full path) into a fresh project.
    bool ReadNested(std::u16string_view fullPath, Project& target);

    UserPrompt& Prompt() { return prompt_; }

  private:
    UserPrompt& prompt_;
};

}  // namespace kelvane

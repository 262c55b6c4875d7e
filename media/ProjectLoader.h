#pragma once

#include <cstdint>
#include <string_view>

#include "model/EntryLocator.h"
#include "model/SourceLoader.h"

namespace kelvane {

class MediaRelinks;
class UserPrompt;

// Loads the media of file entries for the project file reader and the document: every kind
// through its media source, nested projects through the project file reader again, with the
// reader's questions going to `prompt`.
class ProjectLoader final : public SourceLoader, public EntryLocator {
  public:
    explicit ProjectLoader(UserPrompt& prompt) : prompt_(prompt) {}

    // Files that fail to load at their own path are looked for where `relinks` says their folder
    // went, and a file the user points at adds its folder there; null (the default) relinks
    // nothing. The loader does not own it; it must outlive the reads.
    void SetRelinks(MediaRelinks* relinks) { relinks_ = relinks; }
    MediaRelinks* Relinks() const { return relinks_; }

    bool OpenEntry(Project& owner, FileEntry& entry) override;
    bool OpenLocated(Project& owner, FileEntry& entry, std::u16string_view located) override;
    // Opens a file of a known kind (movie, picture, effect or nested project) for `entry`, its
    // path resolved against `owner`; the slot keeps the path as given.
    bool OpenFile(const Project& owner, FileEntry& entry, FileKind kind, std::u16string_view path);
    bool MakeText(Project& owner, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override;

    // Reads a nested project's file (a full path) into a fresh project.
    bool ReadNested(std::u16string_view fullPath, Project& target);

    UserPrompt& Prompt() { return prompt_; }

  private:
    // The entry from the folder its own one was relinked to, if the file is there.
    bool OpenRelinked(Project& owner, FileEntry& entry);

    UserPrompt& prompt_;
    MediaRelinks* relinks_ = nullptr;
};

}  // namespace kelvane

#pragma once

#include <string_view>

namespace kelvane {

class Project;
struct FileEntry;

// A source loader that can load an entry from the place the user points at, when its own path
// failed (the media layer's, which also relinks the other files of the old folder).
class EntryLocator {
  public:
    virtual ~EntryLocator() = default;

    // The user pointed at `located` (a full path) as where the entry's file is now. Loads it from
    // there and, on success, leaves the path the entry should keep in it (relative where the old
    // one was and can stay so); the other missing files of the old folder are then looked for in
    // the new one too. On failure the caller releases the slot.
    virtual bool OpenLocated(Project& owner, FileEntry& entry, std::u16string_view located) = 0;
};

}  // namespace kelvane

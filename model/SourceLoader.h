#pragma once

#include <cstdint>
#include <string_view>

#include "model/FileEntry.h"
#include "platform/LogFont.h"

namespace kelvane {

class Project;

// What the project file reader needs from the media layer: the loaded object behind a file entry.
// The model only describes the entries; building movie readers, pictures, effects, text images
// and nested projects is the media layer's business, so the reader reaches it through this
// interface.
class SourceLoader {
  public:
    virtual ~SourceLoader() = default;

    // Loads the object that `entry` describes: its kind (movie, image, effect or nested project),
    // its path as stored (one that begins with a backslash is resolved against owner's base path,
    // then against owner's project folder) and, for a movie, its reference duration. The entry has
    // no loaded object on entry. On success it owns the loaded object, keeps kind and path as they
    // were and holds kNoTransparentColour; the caller then stores the wanted colour. On failure
    // the caller releases the slot. A nested project is read with ProjectFile::Read.
    virtual bool OpenEntry(Project& owner, FileEntry& entry) = 0;

    // Makes the text image of a text entry and fills the entry as a text (kind, text, length,
    // key colour from the text colour, font). On failure the caller releases the slot.
    virtual bool MakeText(Project& owner, FileEntry& entry, std::u16string_view text,
                          uint32_t textColour, const LogFont& font) = 0;
};

}  // namespace kelvane

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/FileKind.h"
#include "model/Project.h"

// The entries' pixel flags in the project file: a skip chunk (tag 0) whose body is "KPIX",
// uint32 version 1, uint32 count and count records of uint32 file ID, uint32 flags. Readers that
// do not know it skip it like any skip chunk; a project without flags writes none, so its file
// is what it always was.
namespace kelvane::pixel_flags_chunk {

// Bytes of the whole chunk (tag and size included) for `project`; 0 when no entry has a flag.
uint64_t ChunkBytes(const Project& project);
// Appends the chunk, when there is one.
void Append(const Project& project, std::vector<uint8_t>& out);

// Collects the chunk while a file is read: skip chunks go through Take, and once the whole file
// is read Apply checks the records against the file chunks seen and sets the flags.
class Collector {
  public:
    // A file chunk of `kind` was read for slot `id`.
    void SawFile(uint32_t id, FileKind kind);
    // One skip chunk's body. False, with *reason set, for a malformed "KPIX" chunk; other bodies
    // are left alone.
    bool Take(const uint8_t* body, size_t size, std::string* reason);
    // Sets the flags. False, with *reason set, for a record naming a slot no file chunk filled or
    // a flag its kind cannot have. A slot whose file the user chose to go on without stays empty.
    bool Apply(Project& project, std::string* reason) const;

  private:
    struct Record {
        uint32_t id;
        uint32_t flags;
    };
    std::array<FileKind, kFileSlots> kinds_{};
    std::vector<Record> records_;
};

}  // namespace kelvane::pixel_flags_chunk

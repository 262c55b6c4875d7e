#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvane {

class Project;
class SourceLoader;
class UserPrompt;

// The binary project file (".xqm", magic "MPRJ"): a flat sequence of tagged chunks. Files of
// versions 1.0, 1.1 and 2.0 are read; 2.0 is always written.
namespace ProjectFile {

// Reads the file at `path` into `target`, a freshly created, empty project, and sets its project
// folder from the path. Referenced media are loaded through `loader` while reading; an entry that
// cannot be loaded makes the reader ask through `prompt` whether to go on without it. False for a
// file that cannot be read, is malformed or whose reading the user stopped; the caller then
// destroys the target. Reading a file that is already being read further up the chain of nested
// projects fails, so a project that names itself does not recurse without end.
bool Read(std::u16string_view path, Project& target, SourceLoader& loader, UserPrompt& prompt);

// The same for a file already in memory; `folder` becomes the project folder (the file's folder,
// without the last separator).
bool ReadFromMemory(const uint8_t* bytes, size_t size, std::u16string_view folder, Project& target,
                    SourceLoader& loader, UserPrompt& prompt);

// The bytes of a version 2.0 file for `project`. False, with `out` untouched, for a project that
// cannot be stored (an unknown file kind, a path without a terminator, a text too long for its
// length field) or when memory runs out.
bool WriteToMemory(const Project& project, std::vector<uint8_t>& out);

// Writes the file at `path` as a whole: a temporary file beside it replaces the old file only when
// it was written completely, so a failed save leaves the old file intact. On success the project
// folder is set from the path.
bool Write(std::u16string_view path, Project& project);

}  // namespace ProjectFile

}  // namespace kelvane

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

// What an exported AVI file holds, recorded in its INFO list so that files exported separately
// can be joined and checked against each other: the project (its path and a digest of the project
// file, which tells an edited project from the one the other parts came from), the output frames
// of the project that the file holds, the project's length and the compressor.
struct AviPartRecord {
    std::string project;        // as given on the command line
    std::string projectSha256;  // lower-case hex
    uint32_t first = 0;         // output frames first to last, inclusive
    uint32_t last = 0;
    uint32_t length = 0;  // the project's length in frames
    std::string codec;    // the compressor's name ("uncompressed", "ffv1", ...)

    uint32_t Frames() const { return last - first + 1; }
};

// The INFO entry that carries the record (the file's comment).
inline constexpr char kAviPartRecordInfoId[] = "ICMT";

// The record as text: a first line naming it, then one "key: value" line per field.
std::string FormatAviPartRecord(const AviPartRecord& record);
// False when the text is not a complete, consistent record.
bool ParseAviPartRecord(std::string_view text, AviPartRecord& out);

// The record of an export of frames first to last of the saved project file at `projectPath`: the
// file's absolute path and digest.
AviPartRecord RecordOfExport(const std::string& projectPath, uint32_t first, uint32_t last,
                             uint32_t length, const std::string& codec);

// The SHA-256 of a file's bytes in lower-case hex; empty when the file cannot be read.
std::string FileSha256(const std::string& path);

}  // namespace kelvane

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// One video compressor that the export offers. Uncompressed output is an entry of its own, so
// that choosing it is a choice like any other.
struct CompressorInfo {
    std::string name;         // what the user passes to --codec
    std::string description;  // shown beside the name
    std::string encoder;      // the libavcodec encoder; empty for uncompressed output
    bool lossless = false;    // decodes back to the exact input pixels
};

// The compressors that this build of FFmpeg can run, uncompressed output first. Encoders that
// the installed libraries lack (libx264 is optional in FFmpeg builds) are left out.
const std::vector<CompressorInfo>& AvailableCompressors();

// An offered compressor by its name (case-sensitive), or nullptr.
const CompressorInfo* FindCompressor(std::string_view name);

// One line per offered compressor, "NAME<TAB>description\n", for listing them to the user.
std::string CompressorListText();

// The name of the uncompressed entry.
inline constexpr std::string_view kUncompressedName = "uncompressed";

}  // namespace kelvane

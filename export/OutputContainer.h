#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "export/Compressor.h"

namespace kelvane {

// A kind of file the export writes, told by the output file's extension. AVI goes through the
// AVI writer with every compressor it offers; the others through libavformat's muxer of that name
// with the codecs listed for them.
struct OutputContainer {
    std::string_view extension;            // lower case, without the dot
    std::string_view muxer;                // libavformat's name for it
    std::string_view fileType;             // the save dialog's filter, "MP4 ファイル (*.mp4)"
    std::string_view iniPrefix;            // the remembered choice's key prefix; empty for AVI
    std::vector<std::string_view> codecs;  // by compressor name, the default first

    bool IsAvi() const { return extension == "avi"; }
};

// Every kind of file we write, AVI first.
const std::vector<OutputContainer>& OutputContainers();

// The container that the path's extension names (case-insensitive), or nullptr.
const OutputContainer* ContainerOfPath(std::string_view path);

// "avi, mp4, mov, mkv, webm", for messages.
std::string ContainerExtensionList();

// The compressors offered for a container that this build can run, its default first. For AVI
// they are AvailableCompressors().
std::vector<CompressorInfo> CompressorsFor(const OutputContainer& container);

// A compressor by name among every container's codecs, or nullptr.
const CompressorInfo* FindAnyCompressor(std::string_view name);

// One line per compressor, "NAME<TAB>description<TAB>containers\n" (the containers' extensions
// separated by spaces), for --list-codecs.
std::string CompressorContainerListText();

// Why writing `codec` (empty: the container's default) into the file at `path` is refused: an
// extension we do not write, an unknown codec or one the container does not carry. Empty when
// the choice is fine.
std::string OutputChoiceError(std::string_view path, std::string_view codec);

// The quality every lossy codec starts from, on the scale of 0 (smallest file) to 100 (best).
inline constexpr int kDefaultQuality = 75;

}  // namespace kelvane

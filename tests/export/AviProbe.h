#pragma once

// Reading AVI files back in tests: the RIFF chunks as they lie in the file, and the frames as
// FFmpeg decodes them.

#include <cstdint>
#include <filesystem>
#include <string>

#include <vector>
#include "support/ScratchFolder.h"

#include "render/PixelImage.h"

namespace kelvane::testing {

struct RiffChunk {
    std::string id;
    uint64_t dataOffset = 0;
    uint32_t size = 0;
};

// Every chunk of the file in order, descending into RIFF and LIST chunks (which are listed too,
// with their form type as id, e.g. "AVIX", "movi"). Empty when the file is not RIFF.
std::vector<RiffChunk> ReadRiffChunks(const std::filesystem::path& path);
std::vector<uint8_t> ReadChunkData(const std::filesystem::path& path, const RiffChunk& chunk);

// The stream header's fields that the writer sets.
struct StreamHeader {
    std::string type;
    uint32_t handler = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t length = 0;
};
bool ReadStreamHeader(const std::filesystem::path& path, StreamHeader& out);

struct DecodedVideo {
    std::string codec;
    int width = 0;
    int height = 0;
    int timeBaseNum = 0;  // of the stream
    int timeBaseDen = 0;
    // Each frame as 0x00RRGGBB words, rows from the top.
    std::vector<std::vector<uint32_t>> frames;
};
// Decodes every frame of the first video stream. False (with the reason in error) on any failure.
bool DecodeAvi(const std::filesystem::path& path, DecodedVideo& out, std::string& error);

// The number of packets of the first video stream as the demuxer reads them, or -1.
int64_t CountPackets(const std::filesystem::path& path);

// A frame whose pixels depend on position and frame number; smooth, so lossy codecs keep close.
void PaintTestFrame(PixelImage& image, uint32_t frame);
// The same pixels as words from the top row down, for comparing with DecodedVideo frames.
std::vector<uint32_t> TopDownPixels(const PixelImage& image);

}  // namespace kelvane::testing

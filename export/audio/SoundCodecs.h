#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

struct OutputContainer;

// An audio codec the export writes: our name for it (for --audio-codec), FFmpeg's encoder, and
// the bit rate of the lossy ones.
struct SoundCodec {
    std::string name;
    std::string description;
    std::string encoder;
    int bitRate = 0;            // bits per second; 0 for the lossless ones
    bool copyJoinable = false;  // parts join by copying their packets without a seam
};

// Every audio codec that this build can run.
const std::vector<SoundCodec>& SoundCodecs();
const SoundCodec* FindSoundCodec(std::string_view name);
// The codec whose encoder writes streams of FFmpeg's codec id `codecId`, or nullptr.
const SoundCodec* SoundCodecOfStream(int codecId);

// The audio codecs a container carries, its default (for the given video codec) first.
std::vector<const SoundCodec*> SoundCodecsFor(const OutputContainer& container,
                                              std::string_view videoCodec);

// One line per audio codec, "NAME<TAB>description<TAB>containers\n", for --list-codecs.
std::string SoundCodecListText();

// Why `codec` cannot go into the file at `path`; empty when it can.
std::string SoundChoiceError(std::string_view path, std::string_view codec);

}  // namespace kelvane

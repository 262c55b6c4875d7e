#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::cli {

// One --set KEY=VALUE: a value of the INI section "Settings" for this run only.
struct SettingOverride {
    std::string key;  // as the INI file spells it
    std::string value;
};

// --frames A-B: output frames A to B, inclusive.
struct FrameRange {
    uint32_t first = 0;
    uint32_t last = 0;
};

// --relink OLD=NEW: the media of folder OLD are now in NEW.
struct FolderRelink {
    std::string from;  // native paths as given
    std::string to;
};

inline constexpr uint32_t kDefaultMovieTimeoutSeconds = 60;

struct CliOptions {
    enum class Mode { Help, ListCodecs, ListEffects, Frame, Export, Join };
    Mode mode = Mode::Help;
    std::string project;             // native path as given
    std::string output;              // with --join: the joined file
    std::vector<std::string> parts;  // --join: the files to join
    uint32_t frame = 0;
    std::optional<FrameRange> frames;
    std::optional<uint32_t> track;
    std::string codec;       // empty: the container's default (uncompressed for AVI)
    int quality = -1;        // --quality, 0 to 100; -1: the default
    std::string audioCodec;  // --audio-codec; empty: the container's default
    bool noAudio = false;    // --no-audio
    bool keepGoing = false;
    bool abortOnDrawError = false;
    // --movie-timeout: how long a movie may make no progress before a fetch gives up.
    uint32_t movieTimeoutSeconds = kDefaultMovieTimeoutSeconds;
    std::vector<SettingOverride> settings;
    std::vector<FolderRelink> relinks;
};

// Reads the command line (argv[0] excluded by the caller's argc/argv as main receives them).
// False with the reason in `error` for a usage error.
bool ParseOptions(int argc, const char* const* argv, CliOptions& out, std::string& error);

// The text of --help.
const char* HelpText();

// The exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace kelvane::cli

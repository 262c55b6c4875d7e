#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "render/PixelImage.h"
#include "settings/AppSettings.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompt.h"

namespace kelvane::testing {

// Test movies carry their frame index as eight black-or-white bars (bit 0 on the left) below a red
// band at the top, which also shows whether rows arrive bottom-up. Lossy codecs keep that legible.
struct MovieSpec {
    const char* name;       // file name, with the container's extension
    const char* codecArgs;  // ffmpeg output options
    int width = 256;
    int height = 64;
    int frames = 60;
    int fps = 25;
    const char* rate = nullptr;  // a fractional rate such as "30000/1001"; replaces fps
};

// Writes the movie once per test run into a temporary folder; empty when ffmpeg cannot make it
// (an encoder missing from this build of ffmpeg).
std::string MakeMovie(const MovieSpec& recipe);
std::string TempPath(const std::string& name);

// The frame index shown by an image of a test movie; -1 when the picture is not one of them
// (wrong size, no red band on top, bars not clearly black or white).
int DecodeIndex(const PixelImage& image);

// Restores the process-wide settings and the timeout target after each test.
class SettingsGuard {
  public:
    SettingsGuard();
    ~SettingsGuard();

  private:
    AppSettings saved_;
};

}  // namespace kelvane::testing

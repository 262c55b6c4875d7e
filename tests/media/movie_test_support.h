#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "app/settings/AppSettings.h"
#include "platform/UserPrompt.h"
#include "render/PixelImage.h"

namespace kelvane::movietest {

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
// The UTF-16 form of an ASCII path (temporary folders are ASCII).
std::u16string U16(const std::string& ascii);

// The frame index shown by an image of a test movie; -1 when the picture is not one of them
// (wrong size, no red band on top, bars not clearly black or white).
int DecodeIndex(const PixelImage& image);

// Answers the timeout question from a script; No once the script runs out. Counts the questions.
class ScriptedPrompt : public UserPrompt {
  public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string& message) override;
    bool AskOkCancel(const std::string&) override { return false; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::Cancel; }

    std::deque<bool> answers;
    int asked = 0;
    std::string lastMessage;
};

// Restores the process-wide settings and the timeout target after each test.
class SettingsGuard {
  public:
    SettingsGuard();
    ~SettingsGuard();

  private:
    AppSettings saved_;
};

}  // namespace kelvane::movietest

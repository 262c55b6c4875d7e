#include "export/playback/RenderCopy.h"

#include <vector>

#include "media/ProjectLoader.h"
#include "model/ProjectFile.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

// The live project has asked its questions already: what it could not open is not in it, and
// what fails now is left out in silence rather than asked about again.
class SilentPrompt final : public UserPrompt {
  public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }  // go on without it
    bool AskOkCancel(const std::string&) override { return true; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::No; }
};

}  // namespace

std::unique_ptr<Project> MakeRenderCopy(const Project& live) {
    std::vector<uint8_t> bytes;
    if (!ProjectFile::WriteToMemory(live, bytes)) {
        return nullptr;
    }
    std::unique_ptr<Project> copy = Project::Create();
    if (!copy) {
        return nullptr;
    }
    SilentPrompt prompt;
    ProjectLoader loader(prompt);
    if (!ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), PathView(live.projectFolder),
                                     *copy, loader, prompt)) {
        return nullptr;
    }
    // The file keeps the rate alone; the duration the live project derived from it stays.
    copy->settings.frameDuration = live.settings.frameDuration;
    return copy;
}

}  // namespace kelvane

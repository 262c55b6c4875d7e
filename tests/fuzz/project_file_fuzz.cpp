// libFuzzer target for the project file reader. Referenced media are stood in for by a loader
// that decides from the path alone, and the user's answer to a failed load is decided from the
// question alone, so that a file read twice takes the same way both times. Besides crashes it
// checks that whatever reads is written back to a file that reads again to the same bytes.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "model/FileEntry.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SourceLoader.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace {

using namespace kelvane;

struct FuzzSource : LoadedSource {};

class PathLoader : public SourceLoader {
  public:
    bool OpenEntry(Project&, FileEntry& entry) override {
        if (entry.path[0] % 3 == 1) {
            return false;
        }
        entry.loaded = std::make_unique<FuzzSource>();
        entry.colour = kNoTransparentColour;
        return true;
    }
    bool MakeText(Project&, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override {
        if ((!text.empty() && text[0] % 3 == 1) || !entry.SetText(text)) {
            return false;
        }
        entry.kind = FileKind::Text;
        entry.colour = TextKeyColour(textColour);
        entry.font = font;
        entry.loaded = std::make_unique<FuzzSource>();
        return true;
    }
};

class MessagePrompt : public UserPrompt {
  public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string& message) override { return message.size() % 2 == 0; }
    bool AskOkCancel(const std::string& message) override { return message.size() % 2 == 0; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::Cancel; }
};

bool ReadInto(const uint8_t* data, size_t size, std::unique_ptr<Project>& project) {
    PathLoader loader;
    MessagePrompt prompt;
    project = Project::Create();
    return project && ProjectFile::ReadFromMemory(data, size, u"/fuzz", *project, loader, prompt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<Project> first;
    if (!ReadInto(data, size, first)) {
        return 0;
    }
    std::vector<uint8_t> written;
    if (!ProjectFile::WriteToMemory(*first, written)) {
        return 0;
    }
    std::unique_ptr<Project> second;
    std::vector<uint8_t> rewritten;
    if (!ReadInto(written.data(), written.size(), second) ||
        !ProjectFile::WriteToMemory(*second, rewritten) || rewritten != written) {
        std::abort();
    }
    return 0;
}

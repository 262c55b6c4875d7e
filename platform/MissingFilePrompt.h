#pragma once

#include <string>
#include <string_view>

#include "platform/UserPrompt.h"

namespace kelvane {

// The answer to a file of the project that cannot be loaded.
struct MissingFileAnswer {
    enum class Kind {
        Discard,  // go on without the file: its slot stays empty
        Stop,     // the whole read fails
        Located,  // the file is at `path` now
    };
    Kind kind = Kind::Stop;
    std::u16string path;
};

// A prompt that can also ask where a missing file is now: the window's, which adds a button to
// the question and an open dialog behind it.
class MissingFileLocator {
  public:
    virtual ~MissingFileLocator() = default;
    // `message` is the question that may go on (Yes discards, No stops); `storedPath` the file's
    // path as the project names it.
    virtual MissingFileAnswer AskMissingFile(const std::string& message,
                                             std::u16string_view storedPath) = 0;
};

// Asks about a file that cannot be loaded: where `prompt` can locate files, with that choice;
// otherwise as the Yes/No question it always was.
inline MissingFileAnswer AskAboutMissingFile(UserPrompt& prompt, const std::string& message,
                                             std::u16string_view storedPath) {
    if (auto* locator = dynamic_cast<MissingFileLocator*>(&prompt)) {
        return locator->AskMissingFile(message, storedPath);
    }
    return {
        prompt.AskYesNo(message) ? MissingFileAnswer::Kind::Discard : MissingFileAnswer::Kind::Stop,
        {}};
}

}  // namespace kelvane

#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The captions of the program's message boxes, UTF-8.
inline constexpr const char* kErrorCaption = "エラー";
inline constexpr const char* kConfirmCaption = "確認";
inline constexpr const char* kProgramCaption = "Kelvane";

enum class PromptAnswer { Yes, No, Cancel };

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

// The one way the core talks to the user. The GUI answers with message boxes, the command-line
// tool by its options, tests with scripted answers. Texts are UTF-8.
//
// Threads: only the UI thread asks. A message box is modal to the window, and the window belongs
// to the UI thread; an implementation that shows boxes may assume it runs there. Code that may
// run on another thread (the movie reader's timeout question comes from whichever thread fetches
// frames) asks through a UiThreadPrompt: the question is posted to the UI thread, asked there,
// and the asking thread blocks until the answer is back.
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;

    // An error with the caption "エラー" and an OK button.
    virtual void ShowError(const std::string& message) = 0;
    // A question that may go on, caption "エラー" (the timeout question): Yes (true) or No.
    virtual bool AskYesNo(const std::string& message) = 0;
    // A confirmation with the caption "確認": OK (true) or Cancel.
    virtual bool AskOkCancel(const std::string& message) = 0;
    // A question with the program's caption "Kelvane" and the buttons Yes, No and Cancel
    // ("save changes?"). Closing the box answers Cancel.
    virtual PromptAnswer AskYesNoCancel(const std::string& message) = 0;
    // A file of the project cannot be loaded: the question that may go on (Yes discards the
    // file, No stops), to which a window adds a way to point at where the file is now.
    // `storedPath` is the file's path as the project names it.
    virtual MissingFileAnswer AskMissingFile(const std::string& message,
                                             std::u16string_view storedPath) {
        (void)storedPath;
        return {
            AskYesNo(message) ? MissingFileAnswer::Kind::Discard : MissingFileAnswer::Kind::Stop,
            {}};
    }
};

}  // namespace kelvane

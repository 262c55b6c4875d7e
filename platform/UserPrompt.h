#pragma once

#include <string>

namespace kelvane {

// The captions of the program's message boxes, UTF-8.
inline constexpr const char* kErrorCaption = "エラー";
inline constexpr const char* kConfirmCaption = "確認";
inline constexpr const char* kProgramCaption = "Kelvane";

enum class PromptAnswer { Yes, No, Cancel };

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
};

}  // namespace kelvane

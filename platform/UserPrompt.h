#pragma once

#include <string>

namespace kelvane {

// The one way the core talks to the user. The GUI answers with message boxes, the command-line
// tool by its options, tests with scripted answers. Texts are UTF-8.
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;

    // An error with the caption "エラー" and an OK button.
    virtual void ShowError(const std::string& message) = 0;
    // A question that may go on: Yes (true) or No.
    virtual bool AskYesNo(const std::string& message) = 0;
    // A confirmation with the caption "確認": OK (true) or Cancel.
    virtual bool AskOkCancel(const std::string& message) = 0;
};

}  // namespace kelvane

#pragma once

#include <string>

#include "platform/UserPrompt.h"

namespace kelvane::cli {

// The command line's answer to the core's messages: errors and questions go to stderr, and every
// question takes the answer fixed by the options, written after it so that the log shows what was
// decided.
class ConsolePrompt final : public UserPrompt {
  public:
    // `answer`: how Yes/No and OK/Cancel questions are answered (true: Yes, OK).
    explicit ConsolePrompt(bool answer) : answer_(answer) {}

    void ShowError(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    bool AskOkCancel(const std::string& message) override;
    // Yes when the options answer yes, otherwise Cancel, which loses nothing.
    PromptAnswer AskYesNoCancel(const std::string& message) override;

  private:
    bool answer_;
};

}  // namespace kelvane::cli

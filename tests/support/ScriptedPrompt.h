#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/UserPrompt.h"

namespace kelvane::testing {

// Messages and questions as a script: answers are taken in order, then `whenNoneLeft` for every
// further question. Keeps what was shown and asked.
class ScriptedPrompt : public UserPrompt {
  public:
    explicit ScriptedPrompt(bool whenNoneLeft = true) : whenNoneLeft_(whenNoneLeft) {}

    void ShowError(const std::string& message) override { errors.push_back(message); }
    bool AskYesNo(const std::string& message) override { return Answer(message); }
    bool AskOkCancel(const std::string& message) override { return Answer(message); }
    // Scripted by `threeWay` first, then by the yes/no answers (true: Yes, false: Cancel).
    PromptAnswer AskYesNoCancel(const std::string& message) override {
        if (!threeWay.empty()) {
            questions.push_back(message);
            const PromptAnswer answer = threeWay.front();
            threeWay.pop_front();
            return answer;
        }
        return Answer(message) ? PromptAnswer::Yes : PromptAnswer::Cancel;
    }

    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::deque<PromptAnswer> threeWay;

  private:
    bool Answer(const std::string& message) {
        questions.push_back(message);
        if (answers.empty()) {
            return whenNoneLeft_;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    bool whenNoneLeft_;
};

}  // namespace kelvane::testing

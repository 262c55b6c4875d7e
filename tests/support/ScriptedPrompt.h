#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/UserPrompt.h"

namespace kelvane::testing {

// Messages and questions as a script: answers are taken in order, then `whenNoneLeft` for every
// further question. Keeps what was shown and asked, and how.
class ScriptedPrompt : public UserPrompt {
  public:
    enum class Kind { YesNo, OkCancel, YesNoCancel };

    explicit ScriptedPrompt(bool whenNoneLeft = true) : whenNoneLeft_(whenNoneLeft) {}

    void ShowError(const std::string& message) override {
        errors.push_back(message);
        if (onError) {
            onError(message);
        }
    }
    bool AskYesNo(const std::string& message) override { return Answer(message, Kind::YesNo); }
    bool AskOkCancel(const std::string& message) override {
        return Answer(message, Kind::OkCancel);
    }
    // Scripted by `threeWay` first, then by the yes/no answers (true: Yes, false: Cancel).
    PromptAnswer AskYesNoCancel(const std::string& message) override {
        if (!threeWay.empty()) {
            Record(message, Kind::YesNoCancel);
            const PromptAnswer answer = threeWay.front();
            threeWay.pop_front();
            return answer;
        }
        return Answer(message, Kind::YesNoCancel) ? PromptAnswer::Yes : PromptAnswer::Cancel;
    }

    std::vector<std::string> errors;
    // Runs as each message is shown, to look at what else is on the screen then.
    std::function<void(const std::string&)> onError;
    std::vector<std::string> questions;
    std::vector<Kind> kinds;  // of each question
    std::deque<bool> answers;
    std::deque<PromptAnswer> threeWay;

  private:
    void Record(const std::string& message, Kind kind) {
        questions.push_back(message);
        kinds.push_back(kind);
    }
    bool Answer(const std::string& message, Kind kind) {
        Record(message, kind);
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

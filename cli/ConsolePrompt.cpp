#include "cli/ConsolePrompt.h"

#include "cli/Console.h"

namespace kelvane::cli {

void ConsolePrompt::ShowError(const std::string& message) {
    ConsoleMessage("エラー: " + message + "\n");
}

bool ConsolePrompt::AskYesNo(const std::string& message) {
    ConsoleMessage(message + (answer_ ? " → はい\n" : " → いいえ\n"));
    return answer_;
}

bool ConsolePrompt::AskOkCancel(const std::string& message) {
    ConsoleMessage(message + (answer_ ? " → OK\n" : " → キャンセル\n"));
    return answer_;
}

PromptAnswer ConsolePrompt::AskYesNoCancel(const std::string& message) {
    ConsoleMessage(message + (answer_ ? " → はい\n" : " → キャンセル\n"));
    return answer_ ? PromptAnswer::Yes : PromptAnswer::Cancel;
}

}  // namespace kelvane::cli

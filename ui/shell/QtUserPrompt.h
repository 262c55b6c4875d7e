#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/UserPrompt.h"

// The core's messages and questions as modal message boxes over the main window: errors with
// the caption "エラー" and OK; the questions that may go on (a file of the project that cannot
// be read) with "エラー" and Yes/No; confirmations with "確認" and OK/Cancel; the save question
// with the program's caption and Yes/No/Cancel. Only the UI thread asks.
class QtUserPrompt : public kelvane::UserPrompt {
  public:
    void setWindow(QWidget* window) { window_ = window; }
    QWidget* window() const { return window_; }

    void ShowError(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    bool AskOkCancel(const std::string& message) override;
    kelvane::PromptAnswer AskYesNoCancel(const std::string& message) override;

  private:
    QPointer<QWidget> window_;
};

// The movie reader's question when a picture does not come in time: "エラー" with OK (wait
// again) and Cancel (give up the picture).
class TimeoutQuestionPrompt : public kelvane::UserPrompt {
  public:
    explicit TimeoutQuestionPrompt(QtUserPrompt& messages) : messages_(messages) {}

    void ShowError(const std::string& message) override { messages_.ShowError(message); }
    bool AskYesNo(const std::string& message) override;
    bool AskOkCancel(const std::string& message) override { return AskYesNo(message); }
    kelvane::PromptAnswer AskYesNoCancel(const std::string& message) override {
        return messages_.AskYesNoCancel(message);
    }

  private:
    QtUserPrompt& messages_;
};

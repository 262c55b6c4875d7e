#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/MissingFilePrompt.h"
#include "platform/UserPrompt.h"

// The core's messages and questions as modal message boxes over the main window: errors with
// the caption "エラー" and OK; the questions that may go on (a file of the project that cannot
// be read) with "エラー" and Yes/No; confirmations with "確認" and OK/Cancel; the save question
// with the program's caption and Yes/No/Cancel. Only the UI thread asks.
class QtUserPrompt : public kelvane::UserPrompt, public kelvane::MissingFileLocator {
  public:
    void setWindow(QWidget* window) { window_ = window; }
    QWidget* window() const { return window_; }

    void ShowError(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    bool AskOkCancel(const std::string& message) override;
    kelvane::PromptAnswer AskYesNoCancel(const std::string& message) override;
    // The question about a file of the project that cannot be loaded, with a third button,
    // "ファイルの場所を指定…", that asks for the file in Qt's own open dialog; cancelling that
    // dialog asks the question again.
    kelvane::MissingFileAnswer AskMissingFile(const std::string& message,
                                              std::u16string_view storedPath) override;

    static inline const QString kLocateButton = QStringLiteral("ファイルの場所を指定…");
    static inline const QString kLocateTitle = QStringLiteral("ファイルの場所を指定");

  private:
    QPointer<QWidget> window_;
    // Where the last file the user pointed at was: the next dialog starts there.
    QString lastLocatedFolder_;
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

#include "ui/shell/QtUserPrompt.h"

#include <QMessageBox>

namespace {

QMessageBox::StandardButton ask(QWidget* window, QMessageBox::Icon icon, const char* caption,
                                const std::string& message, QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromStdString(message), buttons,
                    window);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

}  // namespace

void QtUserPrompt::ShowError(const std::string& message) {
    ask(window_, QMessageBox::Warning, kelvane::kErrorCaption, message, QMessageBox::Ok,
        QMessageBox::Ok);
}

bool QtUserPrompt::AskYesNo(const std::string& message) {
    return ask(window_, QMessageBox::Warning, kelvane::kErrorCaption, message,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtUserPrompt::AskOkCancel(const std::string& message) {
    return ask(window_, QMessageBox::Question, kelvane::kConfirmCaption, message,
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

bool TimeoutQuestionPrompt::AskYesNo(const std::string& message) {
    return ask(messages_.window(), QMessageBox::Warning, kelvane::kErrorCaption, message,
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

kelvane::PromptAnswer QtUserPrompt::AskYesNoCancel(const std::string& message) {
    switch (ask(window_, QMessageBox::Warning, kelvane::kProgramCaption, message,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
        case QMessageBox::Yes:
            return kelvane::PromptAnswer::Yes;
        case QMessageBox::No:
            return kelvane::PromptAnswer::No;
        default:
            return kelvane::PromptAnswer::Cancel;  // also a box closed without an answer
    }
}

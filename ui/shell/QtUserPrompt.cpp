#include "ui/shell/QtUserPrompt.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

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

namespace {

// The file's own name out of a path in either spelling.
QString fileNameOf(std::u16string_view storedPath) {
    const QString path = QString::fromStdU16String(std::u16string(storedPath));
    return path.mid(path.lastIndexOf(QRegularExpression(QStringLiteral("[\\\\/]"))) + 1);
}

// The nearest folder of the path that is still there, to start looking from.
QString nearestFolder(std::u16string_view storedPath) {
    QString folder = QString::fromStdU16String(std::u16string(storedPath));
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (!folder.isEmpty()) {
        folder = QFileInfo(folder).path();
        if (QFileInfo(folder).isDir() && folder != QStringLiteral("/")) {
            return folder;
        }
        if (folder == QStringLiteral("/") || folder == QStringLiteral(".")) {
            break;
        }
    }
    return QDir::homePath();
}

}  // namespace

kelvane::MissingFileAnswer QtUserPrompt::AskMissingFile(const std::string& message,
                                                        std::u16string_view storedPath) {
    using Kind = kelvane::MissingFileAnswer::Kind;
    for (;;) {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kelvane::kErrorCaption),
                        QString::fromStdString(message), QMessageBox::Yes | QMessageBox::No,
                        window_);
        QPushButton* locate = box.addButton(kLocateButton, QMessageBox::ActionRole);
        locate->setAccessibleName(kLocateButton);
        box.setDefaultButton(QMessageBox::Yes);
        box.exec();
        if (box.clickedButton() == box.button(QMessageBox::Yes)) {
            return {Kind::Discard, {}};
        }
        if (box.clickedButton() != locate) {
            return {Kind::Stop, {}};
        }
        const QString name = fileNameOf(storedPath);
        QFileDialog dialog(
            window_, kLocateTitle,
            lastLocatedFolder_.isEmpty() ? nearestFolder(storedPath) : lastLocatedFolder_);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(
            {QStringLiteral("%1 (%1)").arg(name), QStringLiteral("すべてのファイル (*)")});
        dialog.selectFile(name);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            const QString chosen =
                QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
            lastLocatedFolder_ = QFileInfo(chosen).absolutePath();
            return {Kind::Located, chosen.toStdU16String()};
        }
    }
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

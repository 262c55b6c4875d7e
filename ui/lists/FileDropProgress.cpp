#include "ui/lists/FileDropProgress.h"

#include <QProgressDialog>

namespace kelvane {

FileDropProgress::FileDropProgress(QWidget* parent, size_t total, int showAfterMs)
    : dialog_(new QProgressDialog(parent)) {
    dialog_->setWindowTitle(QStringLiteral("ファイルの追加"));
    dialog_->setCancelButtonText(QStringLiteral("中止"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(showAfterMs);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setRange(0, int(total));
    dialog_->setValue(0);
}

FileDropProgress::~FileDropProgress() {
    delete dialog_;
}

bool FileDropProgress::step(size_t done, size_t total) {
    dialog_->setLabelText(
        QStringLiteral("ファイルを読み込んでいます (%1 / %2)").arg(done + 1).arg(total));
    // Once shown, the window-modal dialog reads the pending input here, so that a click on
    // "中止" during the file before stops the work before this one.
    dialog_->setValue(int(done));
    return !dialog_->wasCanceled();
}

void FileDropProgress::close() {
    // Reset stops the timer that would show a dialog not shown yet, in the middle of the message
    // that follows.
    dialog_->reset();
    dialog_->hide();
}

bool FileDropProgress::visible() const {
    return dialog_->isVisible();
}

}  // namespace kelvane

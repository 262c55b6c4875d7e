#include "ui/lists/FileDropProgress.h"

#include <QProgressDialog>

namespace kelvane {

namespace {
constexpr int kShowAfterMs = 500;
}

FileDropProgress::FileDropProgress(QWidget* parent, size_t total)
    : dialog_(new QProgressDialog(parent)) {
    dialog_->setWindowTitle(QStringLiteral("ファイルの追加"));
    dialog_->setCancelButtonText(QStringLiteral("中止"));
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(kShowAfterMs);
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
    dialog_->setValue(int(done));
    return !dialog_->wasCanceled();
}

bool FileDropProgress::visible() const {
    return dialog_->isVisible();
}

}  // namespace kelvane

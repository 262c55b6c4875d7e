#include "ui/timeline/GoToFrameDialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "model/TypedTime.h"
#include "ui/dialogs/DialogControls.h"

namespace timeline {

GoToFrameDialog::GoToFrameDialog(uint32_t current, uint32_t length, kelvane::RefTime frameDuration,
                                 QWidget* parent)
    : QDialog(parent), length_(length), frameDuration_(frameDuration), frame_(current) {
    setWindowTitle(QStringLiteral("移動"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const QString name = QStringLiteral("時間またはフレーム番号");
    edit_ = kelvane::makeEdit(this, name, 16);
    edit_->setText(QString::number(current));
    edit_->selectAll();
    form->addRow(kelvane::makeLabel(this, name + QLatin1Char(':'), edit_), edit_);
    layout->addLayout(form);
    layout->addWidget(kelvane::makeLabel(
        this, QStringLiteral("例: 45 (フレーム)、1.5 または 0:01.5 (秒)"), edit_));
    kelvane::addOkCancel(this, layout);
}

void GoToFrameDialog::accept() {
    const QString text = edit_->text().trimmed();
    const kelvane::TypedTime typed = kelvane::ParseTypedTime(text.toStdU16String());
    uint32_t frame = 0;
    if (text.isEmpty() || !kelvane::TypedTimeToFrames(typed, frameDuration_, frame)) {
        kelvane::refuseField(
            this, edit_, QStringLiteral("時間 (0:01.5 など) かフレーム番号を入力してください。"));
        return;
    }
    frame_ = length_ == 0 ? 0 : std::min(frame, length_ - 1);
    QDialog::accept();
}

}  // namespace timeline

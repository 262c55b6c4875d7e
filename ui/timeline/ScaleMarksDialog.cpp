#include "ui/timeline/ScaleMarksDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace timeline {
namespace {

QString numberText(double value) {
    return QString::number(value, 'g', 15);
}

}  // namespace

ScaleMarksDialog::ScaleMarksDialog(double count, double unitSeconds, QWidget* parent)
    : QDialog(parent),
      countEdit_(new QLineEdit(numberText(count), this)),
      unitEdit_(new QLineEdit(numberText(unitSeconds), this)),
      count_(count),
      unitSeconds_(unitSeconds) {
    setWindowTitle(QStringLiteral("目盛りの設定"));
    setAccessibleName(QStringLiteral("目盛りの設定"));
    auto* form = new QFormLayout(this);
    auto* countLabel = new QLabel(QStringLiteral("個数:"), this);
    auto* unitLabel = new QLabel(QStringLiteral("単位時間:"), this);
    countLabel->setBuddy(countEdit_);
    unitLabel->setBuddy(unitEdit_);
    countEdit_->setAccessibleName(QStringLiteral("個数"));
    unitEdit_->setAccessibleName(QStringLiteral("単位時間"));
    form->addRow(countLabel, countEdit_);
    form->addRow(unitLabel, unitEdit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ScaleMarksDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ScaleMarksDialog::reject);
    form->addRow(buttons);
}

bool ScaleMarksDialog::readField(QLineEdit* edit, double low, double high, double& value) {
    bool ok = false;
    const double read = edit->text().trimmed().toDouble(&ok);
    QString message;
    if (!ok) {
        message = QStringLiteral("数字を入力してください。");
    } else if (!(read >= low && read <= high)) {
        message = QStringLiteral("%1 から %2 までの数字を入力してください。")
                      .arg(numberText(low), numberText(high));
    }
    if (!message.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("エラー"), message);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = read;
    return true;
}

void ScaleMarksDialog::accept() {
    double count = 0;
    double unit = 0;
    if (!readField(countEdit_, 0, 1000, count) || !readField(unitEdit_, 0.001, 1000, unit)) {
        return;
    }
    count_ = count;
    unitSeconds_ = unit;
    QDialog::accept();
}

}  // namespace timeline

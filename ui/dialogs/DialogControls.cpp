#include "ui/dialogs/DialogControls.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace kelvane {

QLineEdit* makeEdit(QWidget* parent, const QString& accessibleName, int widthChars) {
    auto* edit = new QLineEdit(parent);
    edit->setAccessibleName(accessibleName);
    edit->setObjectName(accessibleName);
    const int width = edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * widthChars;
    edit->setMinimumWidth(width + 12);
    return edit;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    if (buddy != nullptr) {
        label->setBuddy(buddy);
    }
    return label;
}

QCheckBox* makeCheck(QWidget* parent, const QString& text) {
    auto* check = new QCheckBox(text, parent);
    check->setAccessibleName(text);
    check->setObjectName(text);
    return check;
}

QComboBox* makeCombo(QWidget* parent, const QString& accessibleName, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->addItems(items);
    combo->setAccessibleName(accessibleName);
    combo->setObjectName(accessibleName);
    return combo;
}

QPushButton* makeButton(QWidget* parent, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setAccessibleName(text);
    button->setObjectName(text);
    button->setAutoDefault(false);
    return button;
}

void addOkCancel(QDialog* dialog, QBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    QPushButton* ok = makeButton(dialog, QStringLiteral("OK"));
    QPushButton* cancel = makeButton(dialog, QStringLiteral("キャンセル"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
}

void showError(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("エラー"), message, QMessageBox::Ok,
                    parent);
    box.setAccessibleName(QStringLiteral("エラー"));
    box.exec();
}

void refuseField(QWidget* dialog, QWidget* field, const QString& message) {
    showError(dialog, message);
    if (field != nullptr) {
        field->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            edit->selectAll();
        }
    }
}

}  // namespace kelvane

#pragma once

#include <QString>
#include <QStringList>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kelvane {

// Controls as every dialog of the window builds them: each carries the accessible name that a
// screen reader (and the acceptance checks) find it by — its label's text, plus the part for
// fields that share one label ("背景色(RGB) R").

QLineEdit* makeEdit(QWidget* parent, const QString& accessibleName, int widthChars = 10);
QLabel* makeLabel(QWidget* parent, const QString& text, QWidget* buddy = nullptr);
QCheckBox* makeCheck(QWidget* parent, const QString& text);
QComboBox* makeCombo(QWidget* parent, const QString& accessibleName, const QStringList& items);
QPushButton* makeButton(QWidget* parent, const QString& text);

// "OK" (the default button, accepts) and "キャンセル" (rejects), right-aligned in `layout`.
void addOkCancel(QDialog* dialog, QBoxLayout* layout);

// An error box with the caption "エラー" and an OK button.
void showError(QWidget* parent, const QString& message);

// A refused field: its message, then the focus back on it with the text selected.
void refuseField(QWidget* dialog, QWidget* field, const QString& message);

}  // namespace kelvane

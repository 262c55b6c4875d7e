#pragma once

#include <QDialog>
#include <vector>

#include "media/EffectPlugin.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace kelvane {

// "効果の選択": the module's effects in the module's order, with the selected one's name, second
// text and description. The entry that starts with the current name (any case) is selected first.
// "絞り込み" narrows the list to the names that contain its text (any case), still in module order.
class EffectSelectionDialog : public QDialog {
    Q_OBJECT
  public:
    EffectSelectionDialog(QWidget* parent, const std::vector<EffectInfo>& records,
                          const QString& currentName);

    // The name shown in the list; empty when the list is empty.
    QString chosenName() const;
    QString descriptionText() const;

  private:
    void showDescription(int index);
    void narrow(const QString& text);

    const std::vector<EffectInfo>& records_;
    QLineEdit* filter_;
    QComboBox* effects_;
    QPlainTextEdit* description_;
};

// "効果の一覧を表示" on the path field's text: loads the module for the time of the list and, on
// OK, returns the path with the chosen effect. Failures show their message and return the text
// unchanged.
QString chooseEffect(QWidget* parent, const QString& pathField, const QString& basePath,
                     const QString& projectFolder);

}  // namespace kelvane

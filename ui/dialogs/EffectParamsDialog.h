#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "media/EffectParams.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QSlider;

namespace kelvane {

// "効果の設定": one control per parameter of the effect (a slider with a number field, a check
// box, a colour button, two number fields for a position, a text field), the plug-in's
// explanation as tool tip and "既定値に戻す" beside each. A parameter shown without a value (the
// selected events differ) keeps each event's own value until it is changed.
class EffectParamsDialog : public QDialog {
    Q_OBJECT
  public:
    EffectParamsDialog(QWidget* parent, std::vector<EffectParamInfo> infos,
                       const EffectParamEdits& shown);

    // The parameters changed so far; nothing for the ones left alone.
    EffectParamEdits edits() const;

    // Takes what was typed into a field that still has the focus, then closes.
    void accept() override;

    // Called with edits() after every change, so that the preview can follow.
    void setChangeListener(std::function<void(const EffectParamEdits&)> listener) {
        listener_ = std::move(listener);
    }

  private:
    struct Row {
        QSlider* slider = nullptr;
        QLineEdit* fields[2] = {nullptr, nullptr};
        QString shown[2];  // the fields' texts as last filled in
        QCheckBox* check = nullptr;
        QPushButton* colour = nullptr;
        std::optional<EffectParamValue> value;  // what the controls show; none: keep
        bool changed = false;
    };
    void buildRow(size_t i, QGridLayout* grid, int row);
    void show(size_t i);
    void set(size_t i, const EffectParamValue& value);
    void numberTyped(size_t i);
    void chooseColour(size_t i);

    std::vector<EffectParamInfo> infos_;
    std::vector<Row> rows_;
    std::function<void(const EffectParamEdits&)> listener_;
};

}  // namespace kelvane

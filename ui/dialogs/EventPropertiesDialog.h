#pragma once

#include <QDialog>
#include <QHash>
#include <functional>
#include <optional>

#include "media/EffectParams.h"
#include "ui/dialogs/EventPropertyValues.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kelvane {

// The parameters of the effect that the edited events draw, for "効果の設定…".
struct EffectParamContext {
    std::vector<EffectParamInfo> infos;
    EffectParamEdits shown;                                // the events' common values
    std::function<void(const EffectParamEdits&)> preview;  // may be empty
};

// Which files sound, for "音量(%)" and "ミュート": they are enabled while the edited items'
// file has sound (with several items, while any of them has) or, once another file ID is typed,
// while that file has.
struct EventSoundContext {
    bool itemsHaveSound = false;
    std::function<bool(int32_t fileId)> fileHasSound;  // may be empty
};

// "イベントのプロパティ": one event or template filled in, or several in the blank multi-edit
// state. On OK every field is read in order; a number outside its range is refused with its
// message and the dialog stays open. Text that does not read as a number, and text the user left
// as it was shown, keeps the events' own value, so a partly filled multi-edit changes only what
// was typed and an untouched field never loses precision through its printed form.
class EventPropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    // `values` from eventPropertiesFrom for one item; ignored (all kept) when `multiEdit`.
    // With `effect`, "効果の設定…" opens the effect's parameters.
    EventPropertiesDialog(QWidget* parent, const EventPropertyValues& values, bool multiEdit,
                          std::optional<EffectParamContext> effect = std::nullopt,
                          EventSoundContext sound = {});

    // The values read on OK.
    const EventPropertyValues& values() const { return values_; }
    // The effect parameters changed through "効果の設定…"; nothing for those left alone.
    const EffectParamEdits& effectEdits() const { return effectEdits_; }

    struct Refusal {
        QWidget* field;
        QString message;
    };
    // Reads every control into values(); the first refused field, if any (nothing is kept then).
    std::optional<Refusal> readControls();

    void accept() override;

  private:
    void fill(const EventPropertyValues& values);
    void editEffectParams();
    void updateEnabledState();
    void updateSoundEnabled();
    void showMatrixPreview();
    bool edited(const QLineEdit* edit) const;

    bool multiEdit_;
    EventPropertyValues values_;
    float shownMatrix_[9] = {};  // the dialog's matrix values, as the preview computes them
    QHash<const QLineEdit*, QString> shownTexts_;
    std::optional<EffectParamContext> effect_;
    EventSoundContext sound_;
    EffectParamEdits effectEdits_;

    QLineEdit* start_;
    QCheckBox* interpolate_;
    QLineEdit* fileId_;
    QComboBox* drawMethod_;
    QLineEdit* position_;
    QLineEdit* speed_;
    QLineEdit* region_[4];
    QLineEdit* argb_[4];
    QComboBox* blendMode_;
    QLineEdit* volume_;
    QCheckBox* mute_;
    QCheckBox* useMatrix_;
    QLineEdit* parameters_[kParameterCount];
    QLineEdit* matrix_[9];
};

}  // namespace kelvane

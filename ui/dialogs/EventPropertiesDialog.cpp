#include "ui/dialogs/EventPropertiesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/dialogs/DialogControls.h"
#include "ui/dialogs/EffectParamsDialog.h"
#include "ui/dialogs/FieldValidation.h"

namespace kelvane {

namespace {

Qt::CheckState checkStateOf(int tri) {
    return tri == kTriOn ? Qt::Checked : tri == kTriOff ? Qt::Unchecked : Qt::PartiallyChecked;
}

int triOf(const QCheckBox* check) {
    switch (check->checkState()) {
        case Qt::Checked:
            return kTriOn;
        case Qt::Unchecked:
            return kTriOff;
        default:
            return kTriKeep;
    }
}

// A row of edits sharing one label, each named by the label and its part.
void addRow(QWidget* parent, QGridLayout* grid, int row, const QString& label,
            std::initializer_list<std::pair<QLineEdit**, QString>> parts) {
    QLineEdit* first = nullptr;
    int column = 1;
    // A field of its own takes two columns: times such as "00:00.0000000" need the room.
    const int span = parts.size() == 1 ? 2 : 1;
    for (const auto& [edit, part] : parts) {
        *edit = makeEdit(parent, part.isEmpty() ? label : label + u' ' + part, 8);
        grid->addWidget(*edit, row, column, 1, span);
        column += span;
        if (first == nullptr) {
            first = *edit;
        }
    }
    grid->addWidget(makeLabel(parent, label, first), row, 0);
}

}  // namespace

EventPropertiesDialog::EventPropertiesDialog(QWidget* parent, const EventPropertyValues& values,
                                             bool multiEdit,
                                             std::optional<EffectParamContext> effect,
                                             EventSoundContext sound)
    : QDialog(parent), multiEdit_(multiEdit), effect_(std::move(effect)), sound_(std::move(sound)) {
    setWindowTitle(QStringLiteral("イベントのプロパティ"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int row = 0;
    addRow(this, grid, row++, QStringLiteral("開始位置"), {{&start_, {}}});
    interpolate_ = makeCheck(this, QStringLiteral("次のイベントとの間を補間する"));
    grid->addWidget(interpolate_, row++, 0, 1, 5);
    addRow(this, grid, row++, QStringLiteral("ファイルID"), {{&fileId_, {}}});
    drawMethod_ = makeCombo(this, QStringLiteral("描画方法"), drawMethodNames());
    grid->addWidget(makeLabel(this, QStringLiteral("描画方法"), drawMethod_), row, 0);
    grid->addWidget(drawMethod_, row++, 1, 1, 4);
    addRow(this, grid, row++, QStringLiteral("再生位置"), {{&position_, {}}});
    addRow(this, grid, row++, QStringLiteral("再生速度"), {{&speed_, {}}});
    addRow(this, grid, row++, QStringLiteral("領域左上"),
           {{&region_[0], QStringLiteral("X")}, {&region_[1], QStringLiteral("Y")}});
    addRow(this, grid, row++, QStringLiteral("領域右下"),
           {{&region_[2], QStringLiteral("X")}, {&region_[3], QStringLiteral("Y")}});
    addRow(this, grid, row++, QStringLiteral("不透明度と色(ARGB)"),
           {{&argb_[0], QStringLiteral("A")},
            {&argb_[1], QStringLiteral("R")},
            {&argb_[2], QStringLiteral("G")},
            {&argb_[3], QStringLiteral("B")}});
    grid->addWidget(
        makeLabel(this, QStringLiteral("A (不透明度) は 1〜256 (256 で不透明)、RGB は 0〜255"),
                  argb_[0]),
        row++, 1, 1, 4);
    blendMode_ = makeCombo(this, QStringLiteral("合成方法"), blendModeNames());
    grid->addWidget(makeLabel(this, QStringLiteral("合成方法"), blendMode_), row, 0);
    grid->addWidget(blendMode_, row++, 1, 1, 4);
    addRow(this, grid, row, QStringLiteral("音量(%)"), {{&volume_, {}}});
    mute_ = makeCheck(this, QStringLiteral("ミュート"));
    grid->addWidget(mute_, row++, 3, 1, 2);
    useMatrix_ = makeCheck(this, QStringLiteral("変換行列を指定する"));
    grid->addWidget(useMatrix_, row++, 0, 1, 5);
    addRow(this, grid, row++, QStringLiteral("基準位置"),
           {{&parameters_[kReferenceX], QStringLiteral("X")},
            {&parameters_[kReferenceY], QStringLiteral("Y")}});
    addRow(this, grid, row++, QStringLiteral("拡大率"), {{&parameters_[kScale], {}}});
    addRow(this, grid, row++, QStringLiteral("回転角"), {{&parameters_[kRotation], {}}});
    addRow(this, grid, row++, QStringLiteral("位置"),
           {{&parameters_[kPositionX], QStringLiteral("X")},
            {&parameters_[kPositionY], QStringLiteral("Y")}});
    for (int r = 0; r < 3; ++r) {
        const QString label = r == 0 ? QStringLiteral("変換行列") : QString();
        for (int c = 0; c < 3; ++c) {
            // Named by row and column: "変換行列 12" is the first row's second value.
            matrix_[r * 3 + c] =
                makeEdit(this, QStringLiteral("変換行列 %1%2").arg(r + 1).arg(c + 1), 8);
            grid->addWidget(matrix_[r * 3 + c], row, c + 1);
        }
        if (r == 0) {
            grid->addWidget(makeLabel(this, label, matrix_[0]), row, 0);
        }
        ++row;
    }
    if (effect_) {
        effectEdits_.resize(effect_->infos.size());
        QPushButton* settings = makeButton(this, QStringLiteral("効果の設定…"));
        grid->addWidget(settings, row++, 0, 1, 2);
        connect(settings, &QPushButton::clicked, this, &EventPropertiesDialog::editEffectParams);
    }
    addOkCancel(this, layout);

    for (QLineEdit* edit : parameters_) {
        connect(edit, &QLineEdit::textEdited, this, &EventPropertiesDialog::showMatrixPreview);
    }
    connect(useMatrix_, &QCheckBox::clicked, this, &EventPropertiesDialog::updateEnabledState);
    connect(fileId_, &QLineEdit::textChanged, this, &EventPropertiesDialog::updateSoundEnabled);

    if (multiEdit_) {
        interpolate_->setTristate(true);
        useMatrix_->setTristate(true);
        mute_->setTristate(true);
        fill(EventPropertyValues{});
    } else {
        fill(values);
    }
    updateEnabledState();
    updateSoundEnabled();
}

void EventPropertiesDialog::editEffectParams() {
    // What was changed before shows as changed; the rest as the events have it.
    EffectParamEdits shown = effect_->shown;
    for (size_t i = 0; i < shown.size() && i < effectEdits_.size(); ++i) {
        if (effectEdits_[i])
            shown[i] = effectEdits_[i];
    }
    EffectParamsDialog dialog(this, effect_->infos, shown);
    const EffectParamEdits before = effectEdits_;
    auto merged = [this](const EffectParamEdits& changes) {
        EffectParamEdits all = effectEdits_;
        for (size_t i = 0; i < all.size() && i < changes.size(); ++i) {
            if (changes[i])
                all[i] = changes[i];
        }
        return all;
    };
    if (effect_->preview) {
        dialog.setChangeListener(
            [this, merged](const EffectParamEdits& changes) { effect_->preview(merged(changes)); });
    }
    if (dialog.exec() == QDialog::Accepted) {
        effectEdits_ = merged(dialog.edits());
    } else if (effect_->preview) {
        effect_->preview(before);
    }
}

void EventPropertiesDialog::fill(const EventPropertyValues& v) {
    values_ = v;
    auto setText = [this](QLineEdit* edit, const QString& text) {
        edit->setText(text);
        shownTexts_[edit] = text;
    };
    const bool blank = multiEdit_;
    setText(start_, v.start);
    interpolate_->setCheckState(checkStateOf(v.interpolate));
    setText(fileId_, blank ? QString() : QString::number(v.fileId));
    drawMethod_->setCurrentIndex(v.drawMethod);
    setText(position_, v.position);
    setText(speed_, blank ? QString() : formatSpeed(v.speed));
    for (int i = 0; i < 4; ++i) {
        setText(region_[i], blank ? QString() : QString::number(v.region[i]));
        setText(argb_[i], blank ? QString() : QString::number(v.argb[i]));
    }
    blendMode_->setCurrentIndex(v.blendMode);
    setText(volume_, v.volumePercent == kKeepVolume ? QString() : formatVolume(v.volumePercent));
    mute_->setCheckState(checkStateOf(v.mute));
    useMatrix_->setCheckState(checkStateOf(v.matrixCheck));
    for (int i = 0; i < kParameterCount; ++i) {
        setText(parameters_[i], blank ? QString() : formatFloat(v.parameters[i]));
    }
    for (int i = 0; i < 9; ++i) {
        shownMatrix_[i] = v.matrix[i];
        setText(matrix_[i], blank ? QString() : formatMatrixValue(v.matrix[i]));
    }
}

void EventPropertiesDialog::updateEnabledState() {
    for (QLineEdit* edit : parameters_) {
        edit->setEnabled(false);
    }
    for (QLineEdit* edit : matrix_) {
        edit->setEnabled(false);
    }
    switch (useMatrix_->checkState()) {
        case Qt::Checked:
            if (!multiEdit_) {
                for (int i = 0; i < 9; ++i) {
                    matrix_[i]->setText(formatMatrixValue(shownMatrix_[i]));
                }
            }
            for (QLineEdit* edit : matrix_) {
                edit->setEnabled(true);
            }
            break;
        case Qt::Unchecked:
            if (!multiEdit_) {
                showMatrixPreview();
            }
            for (QLineEdit* edit : parameters_) {
                edit->setEnabled(true);
            }
            break;
        default:
            break;
    }
}

void EventPropertiesDialog::updateSoundEnabled() {
    bool sounds = sound_.itemsHaveSound;
    if (edited(fileId_) && sound_.fileHasSound) {
        // The ID as OK would read it; text that does not read keeps the items' own files.
        const auto id = readInteger(fileId_->text());
        if (id && *id >= 0 && *id <= 1023) {
            sounds = sound_.fileHasSound(int32_t(*id));
        }
    }
    volume_->setEnabled(sounds);
    mute_->setEnabled(sounds);
}

void EventPropertiesDialog::showMatrixPreview() {
    float parameters[kParameterCount];
    for (int i = 0; i < kParameterCount; ++i) {
        parameters[i] = float(readNumber(parameters_[i]->text()).value_or(0.0));
    }
    matrixFromParameters(parameters, shownMatrix_);
    for (int i = 0; i < 9; ++i) {
        matrix_[i]->setText(formatMatrixValue(shownMatrix_[i]));
    }
}

bool EventPropertiesDialog::edited(const QLineEdit* edit) const {
    return edit->text() != shownTexts_.value(edit);
}

std::optional<EventPropertiesDialog::Refusal> EventPropertiesDialog::readControls() {
    EventPropertyValues v;
    v.start = edited(start_) ? start_->text() : QString();
    v.interpolate = triOf(interpolate_);
    if (edited(fileId_)) {
        if (const auto id = readInteger(fileId_->text())) {
            if (*id < 0 || *id > 1023) {
                return Refusal{fileId_, integerRangeMessage(0, 1023)};
            }
            v.fileId = uint32_t(*id);
        }
    }
    v.drawMethod = drawMethod_->currentIndex();
    v.position = edited(position_) ? position_->text() : QString();
    if (edited(speed_)) {
        if (const auto speed = readNumber(speed_->text())) {
            if (*speed < -kMaxSpeed || *speed > kMaxSpeed) {
                return Refusal{speed_, numberRangeMessage(-kMaxSpeed, kMaxSpeed)};
            }
            v.speed = *speed;
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (!edited(region_[i])) {
            continue;
        }
        if (const auto value = readInteger(region_[i]->text())) {
            // INT32_MIN is the keep-value itself, so it cannot be typed.
            if (*value <= INT32_MIN || *value > INT32_MAX) {
                return Refusal{region_[i], integerRangeMessage(INT32_MIN + 1LL, INT32_MAX)};
            }
            v.region[i] = int32_t(*value);
        }
    }
    for (int i = 0; i < 4; ++i) {
        if (!edited(argb_[i])) {
            continue;
        }
        if (const auto value = readInteger(argb_[i]->text())) {
            const int64_t low = i == 0 ? 1 : 0;
            const int64_t high = i == 0 ? 256 : 255;
            if (*value < low || *value > high) {
                return Refusal{argb_[i], integerRangeMessage(low, high)};
            }
            v.argb[i] = uint32_t(*value);
        }
    }
    v.blendMode = blendMode_->currentIndex();
    // Only files with sound have a volume to set; the others keep what their events hold.
    if (volume_->isEnabled()) {
        if (edited(volume_)) {
            if (const auto volume = readNumber(volume_->text())) {
                if (*volume < 0.0 || *volume > kMaxVolumePercent) {
                    return Refusal{volume_, numberRangeMessage(0.0, kMaxVolumePercent)};
                }
                v.volumePercent = *volume;
            }
        }
        v.mute = triOf(mute_);
    }
    v.matrixCheck = triOf(useMatrix_);
    auto readFloat = [this](QLineEdit* edit, float& out) -> std::optional<Refusal> {
        if (!edited(edit)) {
            return std::nullopt;
        }
        if (const auto value = readNumber(edit->text())) {
            if (std::fabs(*value) > double(FLT_MAX)) {
                return Refusal{edit, numberRangeMessage(-double(FLT_MAX), double(FLT_MAX))};
            }
            out = float(*value);
        }
        return std::nullopt;
    };
    for (int i = 0; i < kParameterCount; ++i) {
        if (auto refusal = readFloat(parameters_[i], v.parameters[i])) {
            return refusal;
        }
    }
    for (int i = 0; i < 9; ++i) {
        if (auto refusal = readFloat(matrix_[i], v.matrix[i])) {
            return refusal;
        }
    }
    values_ = v;
    return std::nullopt;
}

void EventPropertiesDialog::accept() {
    if (const auto refusal = readControls()) {
        refuseField(this, refusal->field, refusal->message);
        return;
    }
    QDialog::accept();
}

}  // namespace kelvane

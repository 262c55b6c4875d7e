#include "ui/dialogs/EffectParamsDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "media/EffectPlugin.h"
#include "platform/Path.h"
#include "ui/dialogs/DialogControls.h"
#include "ui/dialogs/FieldValidation.h"

namespace kelvane {

namespace {

constexpr int kSliderSteps = 1000;

QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

QString number(double value, uint32_t decimals) {
    return QString::number(value, 'f', int(std::min<uint32_t>(decimals, 9)));
}

int sliderPosition(const EffectParamInfo& info, double value) {
    const double span = info.maximum - info.minimum;
    if (!(span > 0))
        return 0;
    return int(std::lround((value - info.minimum) / span * kSliderSteps));
}

QColor colourOf(const EffectParamValue& value) {
    return QColor::fromRgbF(float(std::clamp(value.numbers[0], 0.0, 1.0)),
                            float(std::clamp(value.numbers[1], 0.0, 1.0)),
                            float(std::clamp(value.numbers[2], 0.0, 1.0)));
}

}  // namespace

EffectParamsDialog::EffectParamsDialog(QWidget* parent, std::vector<EffectParamInfo> infos,
                                       const EffectParamEdits& shown)
    : QDialog(parent), infos_(std::move(infos)), rows_(infos_.size()) {
    setWindowTitle(QStringLiteral("効果の設定"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    for (size_t i = 0; i < infos_.size(); ++i) {
        rows_[i].value = i < shown.size() ? shown[i] : std::nullopt;
        buildRow(i, grid, int(i));
        show(i);
    }
    if (infos_.empty()) {
        grid->addWidget(new QLabel(QStringLiteral("この効果には設定項目がありません。"), page), 0,
                        0);
    }
    // Plug-ins with many parameters scroll rather than outgrow the screen.
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll);
    addOkCancel(this, layout);
    resize(560, std::min(120 + 40 * int(infos_.size()), 640));
}

void EffectParamsDialog::buildRow(size_t i, QGridLayout* grid, int row) {
    const EffectParamInfo& info = infos_[i];
    const QString name = qs(EffectText(info.name));
    const QString tip = qs(EffectText(info.explanation));
    QWidget* page = grid->parentWidget();
    Row& r = rows_[i];
    QWidget* first = nullptr;
    switch (info.type) {
        case KELVANE_PARAM_NUMBER: {
            r.slider = new QSlider(Qt::Horizontal, page);
            r.slider->setRange(0, kSliderSteps);
            r.slider->setAccessibleName(name);
            r.fields[0] = makeEdit(page, name + QStringLiteral(" 値"), 8);
            grid->addWidget(r.slider, row, 1);
            grid->addWidget(r.fields[0], row, 2);
            connect(r.slider, &QSlider::valueChanged, this, [this, i](int position) {
                const EffectParamInfo& p = infos_[i];
                EffectParamValue v;
                v.type = p.type;
                v.numbers[0] = p.minimum + (p.maximum - p.minimum) * position / kSliderSteps;
                if (p.decimals == 0)
                    v.numbers[0] = std::round(v.numbers[0]);
                set(i, v);
            });
            connect(r.fields[0], &QLineEdit::editingFinished, this, [this, i] { numberTyped(i); });
            first = r.slider;
            break;
        }
        case KELVANE_PARAM_ON_OFF:
            r.check = makeCheck(page, name);
            grid->addWidget(r.check, row, 1, 1, 2);
            connect(r.check, &QCheckBox::clicked, this, [this, i](bool on) {
                EffectParamValue v;
                v.type = KELVANE_PARAM_ON_OFF;
                v.numbers[0] = on ? 1 : 0;
                set(i, v);
            });
            first = r.check;
            break;
        case KELVANE_PARAM_COLOUR:
            r.colour = makeButton(page, name);
            grid->addWidget(r.colour, row, 1, 1, 2);
            connect(r.colour, &QPushButton::clicked, this, [this, i] { chooseColour(i); });
            first = r.colour;
            break;
        case KELVANE_PARAM_POSITION:
            r.fields[0] = makeEdit(page, name + QStringLiteral(" X"), 8);
            r.fields[1] = makeEdit(page, name + QStringLiteral(" Y"), 8);
            grid->addWidget(r.fields[0], row, 1);
            grid->addWidget(r.fields[1], row, 2);
            for (QLineEdit* field : r.fields)
                connect(field, &QLineEdit::editingFinished, this, [this, i] { numberTyped(i); });
            first = r.fields[0];
            break;
        default:
            r.fields[0] = makeEdit(page, name, 24);
            grid->addWidget(r.fields[0], row, 1, 1, 2);
            connect(r.fields[0], &QLineEdit::textEdited, this, [this, i](const QString& text) {
                EffectParamValue v;
                v.type = KELVANE_PARAM_TEXT;
                v.text = text.toStdString();
                set(i, v);
            });
            first = r.fields[0];
            break;
    }
    QLabel* label = makeLabel(page, name, first);
    grid->addWidget(label, row, 0);
    for (QWidget* w : {static_cast<QWidget*>(label), first, static_cast<QWidget*>(r.fields[0]),
                       static_cast<QWidget*>(r.fields[1])}) {
        if (w)
            w->setToolTip(tip);
    }
    QPushButton* reset = makeButton(page, QStringLiteral("既定値に戻す"));
    reset->setAccessibleName(name + QStringLiteral(" 既定値に戻す"));
    reset->setToolTip(tip);
    grid->addWidget(reset, row, 3);
    connect(reset, &QPushButton::clicked, this,
            [this, i] { set(i, EffectParamDefaults({infos_[i]})[0]); });
}

// Puts the row's value into its controls without reporting a change.
void EffectParamsDialog::show(size_t i) {
    const EffectParamInfo& info = infos_[i];
    Row& r = rows_[i];
    const std::optional<EffectParamValue>& v = r.value;
    const QString keep;  // a blank field keeps each event's value
    switch (info.type) {
        case KELVANE_PARAM_NUMBER: {
            QSignalBlocker quiet(r.slider);
            r.slider->setValue(v ? sliderPosition(info, v->numbers[0]) : 0);
            r.fields[0]->setText(v ? number(v->numbers[0], info.decimals) : keep);
            r.shown[0] = r.fields[0]->text();
            break;
        }
        case KELVANE_PARAM_ON_OFF:
            r.check->setTristate(!v);
            r.check->setCheckState(!v                     ? Qt::PartiallyChecked
                                   : v->numbers[0] >= 0.5 ? Qt::Checked
                                                          : Qt::Unchecked);
            break;
        case KELVANE_PARAM_COLOUR:
            if (v) {
                const QColor c = colourOf(*v);
                r.colour->setText(c.name(QColor::HexRgb).toUpper());
                r.colour->setStyleSheet(
                    QStringLiteral("background-color: %1; color: %2")
                        .arg(c.name(), c.lightness() > 128 ? "black" : "white"));
            } else {
                r.colour->setText(QStringLiteral("（変更しない）"));
                r.colour->setStyleSheet({});
            }
            break;
        case KELVANE_PARAM_POSITION:
            for (int k = 0; k < 2; ++k) {
                r.fields[k]->setText(v ? number(v->numbers[size_t(k)], 3) : keep);
                r.shown[k] = r.fields[k]->text();
            }
            break;
        default:
            r.fields[0]->setText(v ? QString::fromStdString(v->text) : keep);
            break;
    }
}

void EffectParamsDialog::set(size_t i, const EffectParamValue& value) {
    Row& r = rows_[i];
    EffectParamValue v = value;
    v.index = uint32_t(i);
    // Kept within what the parameter takes, as it will be drawn.
    EffectParamList one{v};
    r.value = ResolveEffectParams({infos_[i]}, &one)[0];
    r.value->index = uint32_t(i);
    r.changed = true;
    show(i);
    if (listener_)
        listener_(edits());
}

void EffectParamsDialog::numberTyped(size_t i) {
    const EffectParamInfo& info = infos_[i];
    Row& r = rows_[i];
    const int fields = info.type == KELVANE_PARAM_POSITION ? 2 : 1;
    // A field left as it was shown keeps the value exactly, not as its printed form reads.
    bool typed = false;
    for (int k = 0; k < fields; ++k)
        typed = typed || r.fields[k]->text() != r.shown[k];
    if (!typed)
        return;
    EffectParamValue v;
    v.type = info.type;
    for (int k = 0; k < fields; ++k) {
        const auto parsed = readNumber(r.fields[k]->text());
        if (!parsed) {
            // Nothing readable: the field shows its value again (or stays blank to keep).
            if (r.value) {
                v.numbers[size_t(k)] = r.value->numbers[size_t(k)];
                continue;
            }
            show(i);
            return;
        }
        v.numbers[size_t(k)] = *parsed;
    }
    set(i, v);
}

void EffectParamsDialog::chooseColour(size_t i) {
    Row& r = rows_[i];
    const QColor start = r.value ? colourOf(*r.value) : QColor(Qt::white);
    const QColor chosen = QColorDialog::getColor(start, this, qs(EffectText(infos_[i].name)),
                                                 QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid())
        return;
    EffectParamValue v;
    v.type = KELVANE_PARAM_COLOUR;
    v.numbers = {chosen.redF(), chosen.greenF(), chosen.blueF()};
    set(i, v);
}

void EffectParamsDialog::accept() {
    for (size_t i = 0; i < infos_.size(); ++i) {
        if (infos_[i].type == KELVANE_PARAM_NUMBER || infos_[i].type == KELVANE_PARAM_POSITION)
            numberTyped(i);
    }
    QDialog::accept();
}

EffectParamEdits EffectParamsDialog::edits() const {
    EffectParamEdits out(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].changed)
            out[i] = rows_[i].value;
    }
    return out;
}

}  // namespace kelvane

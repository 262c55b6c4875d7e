#include "ui/dialogs/EffectSelectionDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "media/EffectList.h"
#include "platform/Path.h"
#include "settings/AppSettings.h"
#include "ui/dialogs/DialogControls.h"

namespace kelvane {

namespace {

QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

std::u16string_view view(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

}  // namespace

EffectSelectionDialog::EffectSelectionDialog(QWidget* parent,
                                             const std::vector<EffectInfo>& records,
                                             const QString& currentName)
    : QDialog(parent), records_(records) {
    setWindowTitle(QStringLiteral("効果の選択"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    filter_ = makeEdit(this, QStringLiteral("絞り込み"), 24);
    filter_->setClearButtonEnabled(true);
    effects_ = makeCombo(this, QStringLiteral("効果"), {});
    for (size_t i = 0; i < records_.size(); ++i) {
        effects_->addItem(qs(EffectText(records_[i].name)), int(i));
    }
    description_ = new QPlainTextEdit(this);
    description_->setReadOnly(true);
    description_->setAccessibleName(QStringLiteral("説明"));
    description_->setObjectName(QStringLiteral("説明"));
    grid->addWidget(makeLabel(this, QStringLiteral("絞り込み"), filter_), 0, 0);
    grid->addWidget(filter_, 0, 1);
    grid->addWidget(makeLabel(this, QStringLiteral("効果"), effects_), 1, 0);
    grid->addWidget(effects_, 1, 1);
    grid->addWidget(makeLabel(this, QStringLiteral("説明"), description_), 2, 0, Qt::AlignTop);
    grid->addWidget(description_, 2, 1);
    addOkCancel(this, layout);

    effects_->setCurrentIndex(InitialEffectSelection(records_, view(currentName)));
    showDescription(effects_->currentIndex());
    connect(effects_, &QComboBox::currentIndexChanged, this,
            &EffectSelectionDialog::showDescription);
    connect(filter_, &QLineEdit::textChanged, this, &EffectSelectionDialog::narrow);
}

void EffectSelectionDialog::narrow(const QString& text) {
    // The chosen effect stays chosen while it is still listed.
    const QVariant chosen = effects_->currentData();
    QSignalBlocker quiet(effects_);
    effects_->clear();
    for (size_t i = 0; i < records_.size(); ++i) {
        const QString name = qs(EffectText(records_[i].name));
        if (name.contains(text, Qt::CaseInsensitive)) {
            effects_->addItem(name, int(i));
        }
    }
    const int keep = effects_->findData(chosen);
    effects_->setCurrentIndex(keep >= 0 ? keep : (effects_->count() > 0 ? 0 : -1));
    showDescription(effects_->currentIndex());
}

QString EffectSelectionDialog::chosenName() const {
    return effects_->currentText();
}

QString EffectSelectionDialog::descriptionText() const {
    return description_->toPlainText();
}

void EffectSelectionDialog::showDescription(int index) {
    const int record = index < 0 ? -1 : effects_->itemData(index).toInt();
    if (record < 0 || size_t(record) >= records_.size()) {
        description_->clear();
        return;
    }
    // The record's lines end in CR LF; the text box wants plain line feeds.
    description_->setPlainText(qs(EffectDescription(records_[size_t(record)]))
                                   .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

QString chooseEffect(QWidget* parent, const QString& pathField, const QString& basePath,
                     const QString& projectFolder) {
    // An empty field means the module every new effect starts with.
    const QString module =
        pathField.trimmed().isEmpty()
            ? QString::fromStdU16String(std::u16string(PathView(Settings().defaultEffectDll)))
            : pathField;
    EffectList list;
    const EffectListStatus status =
        OpenEffectList(view(module), view(basePath), view(projectFolder), list);
    if (status != EffectListStatus::Ok) {
        showError(parent, qs(EffectListMessage(status)));
        return pathField;
    }
    EffectSelectionDialog dialog(parent, list.records, qs(list.currentName));
    if (dialog.exec() != QDialog::Accepted) {
        return pathField;
    }
    return qs(EffectPathWithName(list.modulePath, view(dialog.chosenName())));
}

}  // namespace kelvane

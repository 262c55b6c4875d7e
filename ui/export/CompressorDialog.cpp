#include "ui/export/CompressorDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "export/OutputContainer.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "ui/dialogs/DialogControls.h"

namespace kelvane {

namespace {

constexpr const char* kSection = "AviExport";
constexpr const char* kCompressorKey = "Compressor";
constexpr const char* kQualityKey = "Quality";

}  // namespace

bool compressorHasQuality(const CompressorInfo& info) {
    return !info.encoder.empty() && !info.lossless;
}

namespace {

std::string KeyFor(const OutputContainer* container, const char* key) {
    return container != nullptr ? std::string(container->iniPrefix) + key : std::string(key);
}

std::vector<CompressorInfo> OfferedFor(const OutputContainer* container) {
    return container != nullptr ? CompressorsFor(*container) : AvailableCompressors();
}

}  // namespace

CompressorSelection loadCompressorSelection(const ProfileFile& profile,
                                            const OutputContainer* container) {
    CompressorSelection selection;
    const std::vector<CompressorInfo> offered = OfferedFor(container);
    if (!offered.empty()) {
        selection.name = offered.front().name;
    }
    PathBuffer name{};
    profile.ReadString(kSection, KeyFor(container, kCompressorKey), u"", name);
    const std::string text =
        QString::fromStdU16String(std::u16string(PathView(name))).toStdString();
    if (std::any_of(offered.begin(), offered.end(),
                    [&](const CompressorInfo& c) { return c.name == text; })) {
        selection.name = text;
    }
    selection.quality = std::clamp(profile.ReadInt(kSection, KeyFor(container, kQualityKey),
                                                   CompressorSelection::kDefaultCompressorQuality),
                                   0, 100);
    return selection;
}

void saveCompressorSelection(ProfileFile& profile, const CompressorSelection& selection,
                             const OutputContainer* container) {
    profile.WriteString(kSection, KeyFor(container, kCompressorKey),
                        QString::fromStdString(selection.name).toStdU16String());
    profile.WriteInt(kSection, KeyFor(container, kQualityKey), selection.quality);
}

CompressorDialog::CompressorDialog(QWidget* parent, const std::vector<CompressorInfo>& offered,
                                   const CompressorSelection& initial)
    : QDialog(parent), offered_(offered) {
    setWindowTitle(QStringLiteral("ビデオの圧縮"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    QStringList descriptions;
    for (const CompressorInfo& info : offered_) {
        descriptions.push_back(QString::fromStdString(info.description));
    }
    compressors_ = makeCombo(this, QStringLiteral("圧縮プログラム"), descriptions);
    grid->addWidget(makeLabel(this, QStringLiteral("圧縮プログラム"), compressors_), 0, 0);
    grid->addWidget(compressors_, 0, 1, 1, 2);
    quality_ = new QSlider(Qt::Horizontal, this);
    quality_->setRange(0, 100);
    quality_->setPageStep(10);
    quality_->setAccessibleName(QStringLiteral("圧縮の品質"));
    quality_->setObjectName(QStringLiteral("圧縮の品質"));
    qualityValue_ = new QLabel(this);
    qualityValue_->setMinimumWidth(
        qualityValue_->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 4);
    grid->addWidget(makeLabel(this, QStringLiteral("圧縮の品質"), quality_), 1, 0);
    grid->addWidget(quality_, 1, 1);
    grid->addWidget(qualityValue_, 1, 2);
    addOkCancel(this, layout);

    int index = 0;
    for (size_t i = 0; i < offered_.size(); ++i) {
        if (offered_[i].name == initial.name) {
            index = int(i);
        }
    }
    compressors_->setCurrentIndex(index);
    quality_->setValue(initial.quality);
    updateQuality();
    connect(compressors_, &QComboBox::currentIndexChanged, this, &CompressorDialog::updateQuality);
    connect(quality_, &QSlider::valueChanged, this, &CompressorDialog::updateQuality);
}

void CompressorDialog::updateQuality() {
    const int index = compressors_->currentIndex();
    const bool has = index >= 0 && size_t(index) < offered_.size() &&
                     compressorHasQuality(offered_[size_t(index)]);
    quality_->setEnabled(has);
    qualityValue_->setText(has ? QString::number(quality_->value()) : QString());
}

CompressorSelection CompressorDialog::selection() const {
    CompressorSelection selection;
    const int index = compressors_->currentIndex();
    if (index >= 0 && size_t(index) < offered_.size()) {
        selection.name = offered_[size_t(index)].name;
    }
    selection.quality = quality_->value();
    return selection;
}

bool DialogCompressorChooser::Choose(const std::vector<CompressorInfo>& offered,
                                     std::string& chosen) {
    CompressorDialog dialog(parent_, offered, loadCompressorSelection(profile_, container_));
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const CompressorSelection selection = dialog.selection();
    saveCompressorSelection(profile_, selection, container_);
    chosen = selection.name;
    const CompressorInfo* info = FindAnyCompressor(selection.name);
    quality_ = info != nullptr && compressorHasQuality(*info) ? selection.quality : -1;
    return true;
}

}  // namespace kelvane

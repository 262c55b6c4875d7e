#include "ui/export/CompressorDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "export/OutputContainer.h"
#include "export/audio/SoundCodecs.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "ui/dialogs/DialogControls.h"

namespace kelvane {

namespace {

constexpr const char* kSection = "AviExport";
constexpr const char* kCompressorKey = "Compressor";
constexpr const char* kQualityKey = "Quality";
constexpr const char* kSoundKey = "AudioCodec";
constexpr const char* kNoSoundValue = "none";

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

const OutputContainer& ContainerOrAvi(const OutputContainer* container) {
    return container != nullptr ? *container : OutputContainers().front();
}

std::string ReadKey(const ProfileFile& profile, const OutputContainer* container, const char* key) {
    PathBuffer value{};
    profile.ReadString(kSection, KeyFor(container, key), u"", value);
    return QString::fromStdU16String(std::u16string(PathView(value))).toStdString();
}

}  // namespace

CompressorSelection loadCompressorSelection(const ProfileFile& profile,
                                            const OutputContainer* container) {
    CompressorSelection selection;
    const std::vector<CompressorInfo> offered = OfferedFor(container);
    if (!offered.empty()) {
        selection.name = offered.front().name;
    }
    const std::string text = ReadKey(profile, container, kCompressorKey);
    if (std::any_of(offered.begin(), offered.end(),
                    [&](const CompressorInfo& c) { return c.name == text; })) {
        selection.name = text;
    }
    selection.quality = std::clamp(profile.ReadInt(kSection, KeyFor(container, kQualityKey),
                                                   CompressorSelection::kDefaultCompressorQuality),
                                   0, 100);
    // Any codec the kind carries with one of its compressors; an unknown name is the default.
    const std::string sound = ReadKey(profile, container, kSoundKey);
    const auto carried = SoundCodecsFor(ContainerOrAvi(container), "");
    selection.noSound = sound == kNoSoundValue;
    if (std::any_of(carried.begin(), carried.end(),
                    [&](const SoundCodec* c) { return c->name == sound; })) {
        selection.sound = sound;
    }
    return selection;
}

void saveCompressorSelection(ProfileFile& profile, const CompressorSelection& selection,
                             const OutputContainer* container) {
    profile.WriteString(kSection, KeyFor(container, kCompressorKey),
                        QString::fromStdString(selection.name).toStdU16String());
    profile.WriteInt(kSection, KeyFor(container, kQualityKey), selection.quality);
    const std::string sound = selection.noSound ? std::string(kNoSoundValue) : selection.sound;
    profile.WriteString(kSection, KeyFor(container, kSoundKey),
                        QString::fromStdString(sound).toStdU16String());
}

CompressorDialog::CompressorDialog(QWidget* parent, const std::vector<CompressorInfo>& offered,
                                   const CompressorSelection& initial,
                                   const OutputContainer* container)
    : QDialog(parent),
      offered_(offered),
      container_(ContainerOrAvi(container)),
      soundChoice_(initial.noSound ? std::string(kNoSoundValue) : initial.sound) {
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
    soundCodecs_ = makeCombo(this, QStringLiteral("音声の圧縮形式"), {});
    grid->addWidget(makeLabel(this, QStringLiteral("音声の圧縮形式"), soundCodecs_), 2, 0);
    grid->addWidget(soundCodecs_, 2, 1, 1, 2);
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
    fillSounds();
    connect(compressors_, &QComboBox::currentIndexChanged, this, &CompressorDialog::updateQuality);
    connect(compressors_, &QComboBox::currentIndexChanged, this, &CompressorDialog::fillSounds);
    connect(quality_, &QSlider::valueChanged, this, &CompressorDialog::updateQuality);
    connect(soundCodecs_, &QComboBox::currentIndexChanged, this,
            &CompressorDialog::noteSoundChoice);
}

void CompressorDialog::fillSounds() {
    const int index = compressors_->currentIndex();
    const std::string video =
        index >= 0 && size_t(index) < offered_.size() ? offered_[size_t(index)].name : "";
    sounds_ = SoundCodecsFor(container_, video);
    QStringList names;
    int chosen = 0;  // the default, unless another codec or none was chosen
    for (size_t i = 0; i < sounds_.size(); ++i) {
        names.push_back(QString::fromStdString(sounds_[i]->description));
        if (sounds_[i]->name == soundChoice_) {
            chosen = int(i);
        }
    }
    names.push_back(QStringLiteral("音声なし"));
    if (soundChoice_ == kNoSoundValue) {
        chosen = int(sounds_.size());
    }
    fillingSounds_ = true;
    soundCodecs_->clear();
    soundCodecs_->addItems(names);
    soundCodecs_->setCurrentIndex(chosen);
    fillingSounds_ = false;
}

void CompressorDialog::noteSoundChoice(int index) {
    if (fillingSounds_ || index < 0) {
        return;
    }
    // The first entry is the default of the compressor shown, and stays the default when another
    // compressor is chosen afterwards.
    if (size_t(index) >= sounds_.size()) {
        soundChoice_ = kNoSoundValue;
    } else {
        soundChoice_ = index == 0 ? std::string() : sounds_[size_t(index)]->name;
    }
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
    selection.noSound = soundChoice_ == kNoSoundValue;
    selection.sound = selection.noSound ? std::string() : soundChoice_;
    return selection;
}

bool DialogCompressorChooser::Choose(const std::vector<CompressorInfo>& offered,
                                     std::string& chosen) {
    CompressorDialog dialog(parent_, offered, loadCompressorSelection(profile_, container_),
                            container_);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    const CompressorSelection selection = dialog.selection();
    saveCompressorSelection(profile_, selection, container_);
    chosen = selection.name;
    const CompressorInfo* info = FindAnyCompressor(selection.name);
    quality_ = info != nullptr && compressorHasQuality(*info) ? selection.quality : -1;
    noSound_ = selection.noSound;
    sound_ = selection.sound;
    return true;
}

}  // namespace kelvane

#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "export/Compressor.h"
#include "export/CompressorChooser.h"

class QComboBox;
class QLabel;
class QSlider;
class QWidget;

namespace kelvane {

class ProfileFile;

// What the user chose in "ビデオの圧縮", and what the INI file remembers of it.
struct CompressorSelection {
    std::string name{kUncompressedName};
    int quality = kDefaultCompressorQuality;

    static constexpr int kDefaultCompressorQuality = 75;
};

// Whether the compressor takes a quality setting: the lossy encoders do.
bool compressorHasQuality(const CompressorInfo& info);

// The remembered choice, section "AviExport": uncompressed output when nothing (or a compressor
// this build lacks) is remembered.
CompressorSelection loadCompressorSelection(const ProfileFile& profile);
void saveCompressorSelection(ProfileFile& profile, const CompressorSelection& selection);

// "ビデオの圧縮": the drop-down "圧縮プログラム" with the offered compressors by their
// descriptions, uncompressed output first, and "圧縮の品質" where the compressor has one.
class CompressorDialog : public QDialog {
    Q_OBJECT
  public:
    CompressorDialog(QWidget* parent, const std::vector<CompressorInfo>& offered,
                     const CompressorSelection& initial);

    CompressorSelection selection() const;

  private:
    void updateQuality();

    const std::vector<CompressorInfo>& offered_;
    QComboBox* compressors_;
    QSlider* quality_;
    QLabel* qualityValue_;
};

// The export's chooser in the window: the dialog, starting from and remembering in the INI file.
class DialogCompressorChooser : public CompressorChooser {
  public:
    DialogCompressorChooser(QWidget* parent, ProfileFile& profile)
        : parent_(parent), profile_(profile) {}

    bool Choose(const std::vector<CompressorInfo>& offered, std::string& chosen) override;
    int Quality() const override { return quality_; }

  private:
    QWidget* parent_;
    ProfileFile& profile_;
    int quality_ = -1;
};

}  // namespace kelvane

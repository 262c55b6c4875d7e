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
struct OutputContainer;

// What the user chose in "ビデオの圧縮", and what the INI file remembers of it.
struct CompressorSelection {
    std::string name{kUncompressedName};
    int quality = kDefaultCompressorQuality;

    static constexpr int kDefaultCompressorQuality = 75;
};

// Whether the compressor takes a quality setting: the lossy encoders do.
bool compressorHasQuality(const CompressorInfo& info);

// The remembered choice, section "AviExport", one per kind of file: "Compressor" and "Quality"
// for AVI, the same keys after the kind's prefix ("Mp4Compressor", ...) for the others. The
// kind's default (uncompressed output for AVI) when nothing, or a compressor the kind does not
// offer, is remembered. A null container is AVI.
CompressorSelection loadCompressorSelection(const ProfileFile& profile,
                                            const OutputContainer* container = nullptr);
void saveCompressorSelection(ProfileFile& profile, const CompressorSelection& selection,
                             const OutputContainer* container = nullptr);

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
    // `container`: the kind of file the export writes, whose choice is remembered; null is AVI.
    DialogCompressorChooser(QWidget* parent, ProfileFile& profile,
                            const OutputContainer* container = nullptr)
        : parent_(parent), profile_(profile), container_(container) {}

    bool Choose(const std::vector<CompressorInfo>& offered, std::string& chosen) override;
    int Quality() const override { return quality_; }

  private:
    QWidget* parent_;
    ProfileFile& profile_;
    const OutputContainer* container_;
    int quality_ = -1;
};

}  // namespace kelvane

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
struct SoundCodec;

// What the user chose in "ビデオの圧縮", and what the INI file remembers of it.
struct CompressorSelection {
    std::string name{kUncompressedName};
    int quality = kDefaultCompressorQuality;
    // The audio codec by name; empty: the container's default for the chosen compressor, which
    // follows the compressor (QuickTime has PCM with ProRes and AAC with H.264).
    std::string sound;
    bool noSound = false;  // "音声なし"

    static constexpr int kDefaultCompressorQuality = 75;
};

// Whether the compressor takes a quality setting: the lossy encoders do.
bool compressorHasQuality(const CompressorInfo& info);

// The remembered choice, section "AviExport", one per kind of file: "Compressor", "Quality" and
// "AudioCodec" for AVI, the same keys after the kind's prefix ("Mp4Compressor", ...) for the
// others. The kind's default (uncompressed output for AVI) when nothing, or a compressor the kind
// does not offer, is remembered; "AudioCodec" holds an audio codec's name, "none" for no sound,
// or nothing for the default. A null container is AVI.
CompressorSelection loadCompressorSelection(const ProfileFile& profile,
                                            const OutputContainer* container = nullptr);
void saveCompressorSelection(ProfileFile& profile, const CompressorSelection& selection,
                             const OutputContainer* container = nullptr);

// "ビデオの圧縮": the drop-down "圧縮プログラム" with the offered compressors by their
// descriptions, uncompressed output first, "圧縮の品質" where the compressor has one, and
// "音声の圧縮形式" with the audio codecs the kind of file carries beside the chosen compressor,
// its default first, and "音声なし" last. A null container is AVI.
class CompressorDialog : public QDialog {
    Q_OBJECT
  public:
    CompressorDialog(QWidget* parent, const std::vector<CompressorInfo>& offered,
                     const CompressorSelection& initial,
                     const OutputContainer* container = nullptr);

    CompressorSelection selection() const;

  private:
    void updateQuality();
    void fillSounds();
    void noteSoundChoice(int index);

    const std::vector<CompressorInfo>& offered_;
    const OutputContainer& container_;
    std::vector<const SoundCodec*> sounds_;  // listed in "音声の圧縮形式", before "音声なし"
    std::string soundChoice_;                // as CompressorSelection::sound, or "none"
    bool fillingSounds_ = false;
    QComboBox* compressors_;
    QSlider* quality_;
    QLabel* qualityValue_;
    QComboBox* soundCodecs_;
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
    bool NoSound() const override { return noSound_; }
    std::string SoundCodecName() const override { return sound_; }

  private:
    QWidget* parent_;
    ProfileFile& profile_;
    const OutputContainer* container_;
    int quality_ = -1;
    bool noSound_ = false;
    std::string sound_;
};

}  // namespace kelvane

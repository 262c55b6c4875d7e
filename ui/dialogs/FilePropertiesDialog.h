#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "model/DocumentForms.h"
#include "ui/dialogs/FontChoices.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelvane {

// Where the effect list looks for a module given with a leading backslash.
struct FileDialogPaths {
    QString basePath;
    QString projectFolder;
};

// "ファイルのプロパティ": a file slot as a file (path, reference rate, transparent colour, its
// alpha or a nested project's background) or as a text (text, colour, font and smooth edges). The
// font and colour can also be picked with Qt's own font and colour dialogs. OK checks the fields in
// order and turns the font choice into the LogFont.
class FilePropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    // `fonts` empty: the installed fonts are listed.
    FilePropertiesDialog(QWidget* parent, const FilePropertiesForm& form, FileDialogPaths paths,
                         std::vector<FontRecord> fonts = {});

    const FilePropertiesForm& form() const { return form_; }

    // The loaded file's sound, shown below the reference rate (soundStreamText); nothing is
    // shown for an empty text.
    void showSoundStream(const QString& text);

    struct Refusal {
        QWidget* field;
        QString message;
    };
    std::optional<Refusal> readControls();
    void accept() override;

    // The buttons' actions.
    void browseFile();
    void chooseDefaultEffect();
    void showEffectList();
    void chooseFont();
    void chooseColour();

  private:
    void fillFaces(const QString& script);
    void selectFace(const QString& face);
    void updateEnabledState();
    const FontRecord* selectedFont() const;

    FilePropertiesForm form_;
    FileDialogPaths paths_;
    std::vector<FontRecord> fonts_;

    QLineEdit* id_;
    QCheckBox* useText_;
    QLineEdit* path_;
    QPushButton* browse_;
    QPushButton* defaultEffect_;
    QPushButton* effectList_;
    QLineEdit* referenceRate_;
    QLabel* soundStream_;
    QCheckBox* useTransparent_;
    QCheckBox* useAlpha_;
    QCheckBox* transparentBackground_;
    QCheckBox* smoothEdges_;
    QLineEdit* rgb_[3];
    QPushButton* colourButton_;
    QLineEdit* text_;
    QComboBox* script_;
    QComboBox* face_;
    QLineEdit* size_;
    QComboBox* weight_;
    QCheckBox* italic_;
    QCheckBox* underline_;
    QCheckBox* strikeOut_;
    QPushButton* fontButton_;
};

}  // namespace kelvane

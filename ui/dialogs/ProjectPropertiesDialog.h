#pragma once

#include <QDialog>
#include <optional>

#include "model/DocumentForms.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace kelvane {

// "プロジェクトのプロパティ": the output settings. OK checks the fields in their order and
// refuses the first one out of range with its message; the length stays text, for the project
// settings command to read as frames or a time.
class ProjectPropertiesDialog : public QDialog {
    Q_OBJECT
  public:
    ProjectPropertiesDialog(QWidget* parent, const ProjectSettingsForm& form);

    const ProjectSettingsForm& form() const { return form_; }

    struct Refusal {
        QWidget* field;
        QString message;
    };
    std::optional<Refusal> readControls();
    void accept() override;

    // "参照": Qt's own folder dialog, starting at the folder in the field.
    void browseBasePath();
    // "= 10.000 秒": what the length in the field lasts at the rate in the field.
    QString lengthSecondsText() const;

  private:
    ProjectSettingsForm form_;
    QLineEdit* basePath_;
    QLineEdit* width_;
    QLineEdit* height_;
    QLineEdit* frameRate_;
    QLineEdit* length_;
    QLabel* lengthSeconds_;
    QLineEdit* rgb_[3];
    QComboBox* drawMethod_;
};

// The names of "既定の描画方法", index = draw method 0 to 4.
const QStringList& defaultDrawMethodNames();

}  // namespace kelvane

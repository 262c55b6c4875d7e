#pragma once

#include <QDialog>

class QLineEdit;

namespace timeline {

// "目盛りの設定": how many scale marks per unit of time the ruler shows. OK checks both numbers
// against their ranges; a failed check tells the user and keeps the dialog open on the field.
class ScaleMarksDialog : public QDialog {
    Q_OBJECT
  public:
    ScaleMarksDialog(double count, double unitSeconds, QWidget* parent = nullptr);

    double count() const { return count_; }
    double unitSeconds() const { return unitSeconds_; }

    void accept() override;

  private:
    bool readField(QLineEdit* edit, double low, double high, double& value);

    QLineEdit* countEdit_;
    QLineEdit* unitEdit_;
    double count_;
    double unitSeconds_;
};

}  // namespace timeline

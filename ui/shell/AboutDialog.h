#pragma once

#include <QDialog>

// "バージョン情報 Kelvane": the program's icon, "Kelvane Version 2.7" and OK.
class AboutDialog : public QDialog {
    Q_OBJECT
  public:
    static inline const QString kTitle = QStringLiteral("バージョン情報 Kelvane");
    static inline const QString kVersionText = QStringLiteral("Kelvane Version 2.7");

    explicit AboutDialog(QWidget* parent);

    // The width a window needs for `title` in its title bar, beside the bar's own buttons.
    static int captionWidth(const QString& title, const QFont& font);
};

// The program's icon, drawn in code: a strip of film with three stacked layers.
QIcon applicationIcon();

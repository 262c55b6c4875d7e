#pragma once

#include <QMenu>

class QAction;

// A menu that shows each item's key as the menu table writes it ("Delete", "Enter", "Esc")
// instead of Qt's own names for the keys. The key is kept beside the item's text, not in it, so
// that assistive technology reads the item's text alone.
class CommandMenu : public QMenu {
    Q_OBJECT
  public:
    using QMenu::QMenu;

    static void setShownKey(QAction* action, const QString& key);
    static QString shownKey(const QAction* action);

  protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

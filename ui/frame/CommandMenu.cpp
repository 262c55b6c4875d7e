#include "ui/frame/CommandMenu.h"

#include <QAction>
#include <QStyleOptionMenuItem>

namespace {
const char kShownKey[] = "kelvaneShownKey";
}

void CommandMenu::setShownKey(QAction* action, const QString& key) {
    action->setProperty(kShownKey, key);
}

QString CommandMenu::shownKey(const QAction* action) {
    return action->property(kShownKey).toString();
}

void CommandMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    // Qt appends its own name of the first shortcut after a tab; the table's name replaces it.
    const qsizetype tab = option->text.indexOf(QLatin1Char('\t'));
    QString text = tab < 0 ? option->text : option->text.left(tab);
    const QString key = shownKey(action);
    if (!key.isEmpty()) {
        text += QLatin1Char('\t') + key;
    }
    option->text = text;
}

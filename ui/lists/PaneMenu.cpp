#include "ui/lists/PaneMenu.h"

#include <QMenu>
#include <QPointer>

namespace kelvane {

QMenu* buildPaneMenu(QWidget* pane, CommandTarget& target,
                     std::initializer_list<PaneMenuItem> items) {
    auto* menu = new QMenu(pane);
    for (const PaneMenuItem& item : items) {
        if (item.text == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        CommandState state;
        if (!target.commandState(item.id, state)) {
            state = CommandState{};
        }
        action->setEnabled(state.enabled);
        action->setCheckable(state.checked);
        action->setChecked(state.checked);
        const CommandId id = item.id;
        QObject::connect(action, &QAction::triggered, pane,
                         [&target, id] { target.runCommand(id); });
    }
    return menu;
}

void showPaneMenu(QWidget* pane, CommandTarget& target, const QPoint& globalPos,
                  std::initializer_list<PaneMenuItem> items) {
    QPointer<QMenu> menu = buildPaneMenu(pane, target, items);
    menu->exec(globalPos);
    delete menu.data();
}

}  // namespace kelvane

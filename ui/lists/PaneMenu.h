#pragma once

#include <initializer_list>

#include <QString>

#include "ui/commands/CommandTarget.h"

class QMenu;
class QPoint;
class QWidget;

namespace kelvane {

// One line of a pane's context menu: a command with its text, or a separator (no text).
struct PaneMenuItem {
    CommandId id;
    const char* text = nullptr;  // UTF-8; null for a separator
};

inline constexpr PaneMenuItem kMenuSeparator{CommandId{}, nullptr};

// The context menu of a pane whose commands `target` owns: each item enabled and checked as the
// target says, running through the target when chosen.
QMenu* buildPaneMenu(QWidget* pane, CommandTarget& target,
                     std::initializer_list<PaneMenuItem> items);

// Builds the menu and shows it at a screen position until it closes.
void showPaneMenu(QWidget* pane, CommandTarget& target, const QPoint& globalPos,
                  std::initializer_list<PaneMenuItem> items);

}  // namespace kelvane

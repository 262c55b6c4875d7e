#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <vector>

#include "ui/commands/CommandId.h"

// The menu bar as the user sees it: menus in order, each item with its text (mnemonic marked
// with "&") and the key shown beside it. A separator is an entry without a command.
struct MenuEntry {
    bool separator = false;
    CommandId id{};
    QString text;
    QString shownKey;
};

struct MenuSpec {
    QString title;
    std::vector<MenuEntry> entries;
};

const std::vector<MenuSpec>& menuTable();

// The toolbar's commands from left to right; a separator where `separator` is set.
const std::vector<MenuEntry>& toolbarTable();

// The keys that run a command anywhere in the main window; empty for most commands.
QList<QKeySequence> acceleratorsFor(CommandId id);

// What the status bar shows while the mouse is over the command, and the command's short name
// (the tool tip, and the toolbar button's name).
struct CommandTexts {
    QString statusTip;
    QString name;
};
CommandTexts commandTexts(CommandId id);

#pragma once

#include "ui/commands/CommandId.h"

// Whether a command can run now, and whether its menu item shows a check mark.
struct CommandState {
    bool enabled = false;
    bool checked = false;
};

// One link of the command route: the active pane, then the document, then the frame, then the
// application. The first target whose commandState() returns true owns the command: its state is
// the one shown, and runCommand() goes to it. A command that no target owns is disabled.
class CommandTarget {
  public:
    virtual ~CommandTarget() = default;
    virtual bool commandState(CommandId id, CommandState& state) const = 0;
    virtual void runCommand(CommandId id) = 0;
};

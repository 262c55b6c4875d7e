#pragma once

#include <functional>

#include "ui/commands/CommandTarget.h"

// The route a command takes: the active pane, then the document, then the frame, then the
// application. The first link that owns the command decides its state and runs it; a command
// that nobody owns is disabled. The links are looked up at each call, because the active pane
// changes with the focus and the panes are rebuilt with every new or opened project.
class CommandRouter {
  public:
    using TargetLookup = std::function<CommandTarget*()>;

    void setActivePane(TargetLookup lookup) { activePane_ = std::move(lookup); }
    void setDocument(CommandTarget* target) { document_ = target; }
    void setFrame(CommandTarget* target) { frame_ = target; }
    void setApplication(CommandTarget* target) { application_ = target; }

    // The state shown for the command; disabled and unchecked when nobody owns it.
    CommandState state(CommandId id) const;
    // Runs the command at its owner when the owner has it enabled; false otherwise.
    bool run(CommandId id);

  private:
    CommandTarget* owner(CommandId id, CommandState& state) const;

    TargetLookup activePane_;
    // Held guarded: a link destroyed before the router reads as absent.
    GuardedCommandTarget document_;
    GuardedCommandTarget frame_;
    GuardedCommandTarget application_;
};

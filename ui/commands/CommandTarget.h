#pragma once

#include <memory>

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
    CommandTarget() = default;
    // A copy is a target of its own, with a lifeline of its own.
    CommandTarget(const CommandTarget&) : CommandTarget() {}
    CommandTarget& operator=(const CommandTarget&) { return *this; }
    virtual ~CommandTarget() = default;
    virtual bool commandState(CommandId id, CommandState& state) const = 0;
    virtual void runCommand(CommandId id) = 0;

    // Expires as the target is destroyed, before any of its bases: whoever keeps the target
    // for later calls keeps this beside it (GuardedCommandTarget).
    std::weak_ptr<const void> lifeline() const { return lifeline_; }

  private:
    std::shared_ptr<const char> lifeline_ = std::make_shared<const char>();
};

// A target held for later calls, which reads as none once the target is gone: a window that
// outlives a document, a playback or a test's target never calls into freed memory.
class GuardedCommandTarget {
  public:
    GuardedCommandTarget() = default;
    GuardedCommandTarget(CommandTarget* target)  // NOLINT: taken wherever a pointer was
        : target_(target),
          lifeline_(target != nullptr ? target->lifeline() : std::weak_ptr<const void>()) {}

    // The target, or nullptr when none was given or it has been destroyed since.
    CommandTarget* get() const { return lifeline_.expired() ? nullptr : target_; }

  private:
    CommandTarget* target_ = nullptr;
    std::weak_ptr<const void> lifeline_;
};

#include "ui/commands/CommandRouter.h"

CommandTarget* CommandRouter::owner(CommandId id, CommandState& state) const {
    CommandTarget* pane = activePane_ ? activePane_() : nullptr;
    for (CommandTarget* target : {pane, document_.get(), frame_.get(), application_.get()}) {
        state = CommandState{};
        if (target != nullptr && target->commandState(id, state)) {
            return target;
        }
    }
    state = CommandState{};
    return nullptr;
}

CommandState CommandRouter::state(CommandId id) const {
    CommandState state;
    owner(id, state);
    return state;
}

bool CommandRouter::run(CommandId id) {
    CommandState state;
    CommandTarget* target = owner(id, state);
    if (target == nullptr || !state.enabled) {
        return false;
    }
    target->runCommand(id);
    return true;
}

#include "cli/InterruptCatcher.h"

namespace kelvane::cli {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}

}  // namespace

InterruptCatcher::InterruptCatcher(std::initializer_list<int> signals) {
    interrupted.store(false);
    for (const int signal : signals) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        struct sigaction previous {};
        if (::sigaction(signal, &action, &previous) == 0) {
            previous_.emplace_back(signal, previous);
        }
    }
}

InterruptCatcher::~InterruptCatcher() {
    for (const auto& [signal, previous] : previous_) {
        ::sigaction(signal, &previous, nullptr);
    }
}

const std::atomic<bool>& InterruptCatcher::Flag() {
    return interrupted;
}

}  // namespace kelvane::cli

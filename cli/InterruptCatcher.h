#pragma once

#include <csignal>

#include <atomic>
#include <initializer_list>
#include <utility>
#include <vector>

namespace kelvane::cli {

// While it lives, the given signals (Ctrl+C's SIGINT; a batch system's SIGTERM) set Flag()
// instead of ending the process, so that a long run can stop between two steps and leave its
// files in order. Each handler is reset by its first call: a second signal ends the process at
// once. One catcher at a time.
class InterruptCatcher {
  public:
    explicit InterruptCatcher(std::initializer_list<int> signals);
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    static const std::atomic<bool>& Flag();

  private:
    // Each signal caught with the action it had before.
    std::vector<std::pair<int, struct sigaction>> previous_;
};

}  // namespace kelvane::cli

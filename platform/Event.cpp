#include "platform/Event.h"

#include <chrono>

namespace kelvane {

Event::Event(Reset mode, bool initiallySet) : set_(initiallySet), manual_(mode == Reset::Manual) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    // An auto-reset event lets exactly one waiter through, so waking more would only make the
    // others go back to sleep.
    if (manual_) {
        changed_.notify_all();
    } else {
        changed_.notify_one();
    }
}

void Event::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

void Event::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
    if (!manual_) {
        set_ = false;
    }
}

bool Event::WaitFor(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    if (!changed_.wait_until(lock, deadline, [this] { return set_; })) {
        return false;
    }
    if (!manual_) {
        set_ = false;
    }
    return true;
}

}  // namespace kelvane

// Local stand-in so that the movie reader links and runs on its own branch; the platform's own
// implementation replaces this file.
#include "platform/Event.h"

#include <chrono>

namespace kelvane {

Event::Event(Reset mode, bool initiallySet) : set_(initiallySet), manual_(mode == Reset::Manual) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void Event::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

void Event::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
    if (!manual_)
        set_ = false;
}

bool Event::WaitFor(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return set_; }))
        return false;
    if (!manual_)
        set_ = false;
    return true;
}

}  // namespace kelvane

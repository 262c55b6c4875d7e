#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kelvane {

// A signal like the platform's event objects. An auto-reset event releases one waiter and clears
// itself; a manual-reset event stays set until Reset.
class Event {
  public:
    enum class Reset { Auto, Manual };

    explicit Event(Reset mode, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Clear();
    // Waits without a time limit.
    void Wait();
    // True when the event was set within `milliseconds`, false on time-out.
    bool WaitFor(uint32_t milliseconds);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_;
    const bool manual_;
};

}  // namespace kelvane

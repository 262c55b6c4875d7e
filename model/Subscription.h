#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kelvane {

// One registration with a notifier: it ends when the subscription is destroyed, reset or
// cancelled. It may outlive the notifier; it then does nothing.
class Subscription {
  public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            Cancel();
            cancel_ = std::exchange(other.cancel_, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Cancel(); }

    void Cancel() {
        if (cancel_) {
            std::exchange(cancel_, {})();
        }
    }

  private:
    std::function<void()> cancel_;
};

// Callbacks with an owner each. A notification from a sender skips the callbacks that the
// sender owns (a view that changed something has already updated itself). A callback may
// subscribe or cancel others while it runs: those cancelled meanwhile are not called.
template <typename... Args>
class ObserverList {
  public:
    using Callback = std::function<void(Args...)>;

    Subscription Add(const void* owner, Callback callback) {
        const uint64_t id = shared_->nextId++;
        shared_->entries.push_back(Entry{id, owner, std::move(callback)});
        std::weak_ptr<Shared> weak = shared_;
        return Subscription([weak, id] {
            if (std::shared_ptr<Shared> shared = weak.lock()) {
                std::erase_if(shared->entries, [id](const Entry& e) { return e.id == id; });
            }
        });
    }

    void Notify(const void* sender, Args... args) const {
        const std::vector<Entry> current = shared_->entries;
        for (const Entry& entry : current) {
            if (sender != nullptr && entry.owner == sender) {
                continue;
            }
            const auto& now = shared_->entries;
            const bool stillThere = std::any_of(
                now.begin(), now.end(), [&entry](const Entry& e) { return e.id == entry.id; });
            if (stillThere && entry.callback) {
                entry.callback(args...);
            }
        }
    }

    size_t Count() const { return shared_->entries.size(); }

  private:
    struct Entry {
        uint64_t id;
        const void* owner;
        Callback callback;
    };
    struct Shared {
        std::vector<Entry> entries;
        uint64_t nextId = 1;
    };

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

}  // namespace kelvane

#include "media/audio/SoundPeaksCache.h"

#include <vector>

#include "media/audio/SoundClip.h"

namespace kelvane {

SoundPeaksCache::SoundPeaksCache()
    : SoundPeaksCache([](const SoundClip& clip, const std::atomic<bool>& cancel) {
          return SoundPeaks::Summarise(clip, &cancel);
      }) {}

SoundPeaksCache::SoundPeaksCache(Summariser summarise) : summarise_(std::move(summarise)) {}

SoundPeaksCache::~SoundPeaksCache() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    work_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

SoundPeaksCache& SoundPeaksCache::Shared() {
    static SoundPeaksCache cache;
    return cache;
}

std::shared_ptr<const SoundPeaks> SoundPeaksCache::Find(
    const std::shared_ptr<const SoundClip>& clip) {
    if (!clip) {
        return nullptr;
    }
    std::lock_guard guard(lock_);
    auto found = entries_.find(clip.get());
    // A sound that went away may leave its address to a new one.
    if (found != entries_.end() && found->second.clip.lock() == clip) {
        return found->second.peaks;
    }
    if (entries_.size() >= sweepAt_) {
        Sweep();
    }
    entries_[clip.get()] = Entry{clip, nullptr};
    queue_.push_back(clip);
    if (!worker_.joinable()) {
        worker_ = std::thread([this] { Run(); });
    }
    work_.notify_one();
    return nullptr;
}

Subscription SoundPeaksCache::Listen(std::function<void()> ready) {
    std::lock_guard guard(listeners_->lock);
    const uint64_t id = listeners_->next++;
    listeners_->ready.emplace(id, std::move(ready));
    return Subscription([weak = std::weak_ptr<Listeners>(listeners_), id] {
        if (const std::shared_ptr<Listeners> listeners = weak.lock()) {
            std::lock_guard calling(listeners->calling);
            std::lock_guard guard(listeners->lock);
            listeners->ready.erase(id);
        }
    });
}

size_t SoundPeaksCache::Size() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

void SoundPeaksCache::Sweep() {
    std::erase_if(entries_, [](const auto& item) { return item.second.clip.expired(); });
    sweepAt_ = 2 * entries_.size() + 64;
}

void SoundPeaksCache::Run() {
    for (;;) {
        std::shared_ptr<const SoundClip> clip;
        {
            std::unique_lock guard(lock_);
            work_.wait(guard, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                return;
            }
            clip = queue_.front().lock();
            queue_.pop_front();
        }
        if (!clip) {
            continue;  // gone before its turn
        }
        std::shared_ptr<const SoundPeaks> peaks = summarise_(*clip, stop_);
        if (!peaks) {
            if (stop_) {
                return;
            }
            continue;
        }
        {
            std::lock_guard guard(lock_);
            const auto found = entries_.find(clip.get());
            if (found != entries_.end() && found->second.clip.lock() == clip) {
                found->second.peaks = std::move(peaks);
            }
        }
        // The last hold on the sound may be this one: let it go outside the lock.
        clip.reset();
        std::lock_guard calling(listeners_->calling);
        std::vector<std::function<void()>> ready;
        {
            std::lock_guard guard(listeners_->lock);
            for (const auto& [id, listener] : listeners_->ready) {
                ready.push_back(listener);
            }
        }
        for (const auto& listener : ready) {
            listener();
        }
    }
}

}  // namespace kelvane

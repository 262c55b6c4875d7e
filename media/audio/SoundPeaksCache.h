#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "media/audio/SoundPeaks.h"
#include "model/Subscription.h"

namespace kelvane {

class SoundClip;

// The peaks of each sound, made on a thread of their own the first time someone asks, and kept
// for as long as the sound lives. Asking never waits: until the peaks are made the answer is
// null, and the listeners hear once they are, on the worker thread.
class SoundPeaksCache {
  public:
    // How peaks are made: SoundPeaks::Summarise, or a test's stand-in. It should give up (null)
    // soon once `cancel` is true.
    using Summariser = std::function<std::shared_ptr<const SoundPeaks>(
        const SoundClip& clip, const std::atomic<bool>& cancel)>;

    SoundPeaksCache();
    explicit SoundPeaksCache(Summariser summarise);
    ~SoundPeaksCache();
    SoundPeaksCache(const SoundPeaksCache&) = delete;
    SoundPeaksCache& operator=(const SoundPeaksCache&) = delete;

    // The one the window draws from: a sound loaded by several slots or copies is summed up once.
    static SoundPeaksCache& Shared();

    // The peaks of `clip`, or null while they are being made (the first call queues them).
    std::shared_ptr<const SoundPeaks> Find(const std::shared_ptr<const SoundClip>& clip);
    // `ready` is called on the worker thread after each sound's peaks are made, until the
    // subscription ends (which waits for a call under way; it may outlive the cache). It must not
    // call back into the cache.
    Subscription Listen(std::function<void()> ready);

    // Sounds whose peaks are made or queued, gone ones included until they are swept out.
    size_t Size() const;

  private:
    struct Entry {
        std::weak_ptr<const SoundClip> clip;
        std::shared_ptr<const SoundPeaks> peaks;  // null while queued
    };
    // Shared with the subscriptions, which may end after the cache.
    struct Listeners {
        std::mutex lock;
        // Held while listeners are called, so that a subscription that ends waits for its call.
        std::mutex calling;
        std::map<uint64_t, std::function<void()>> ready;
        uint64_t next = 1;
    };
    void Run();
    void Sweep();

    Summariser summarise_;
    mutable std::mutex lock_;
    std::condition_variable work_;
    std::map<const SoundClip*, Entry> entries_;
    std::deque<std::weak_ptr<const SoundClip>> queue_;
    std::shared_ptr<Listeners> listeners_ = std::make_shared<Listeners>();
    size_t sweepAt_ = 64;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace kelvane

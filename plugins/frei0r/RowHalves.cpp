#include "RowHalves.h"

#include <unistd.h>

#include <condition_variable>
#include <mutex>

namespace frei0r_bridge {

namespace {

class KeptThread {
  public:
    ~KeptThread() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (!thread_.joinable())
            return;
        // A process forked from the one that started the thread has only its record.
        if (owner_ == getpid())
            thread_.join();
        else
            thread_.detach();
    }

    bool Start(HalfJob job, const void* work, int32_t begin, int32_t end) {
        if (!taken_.try_lock())
            return false;
        if (!Running()) {
            taken_.unlock();
            return false;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job_ = job;
            work_ = work;
            begin_ = begin;
            end_ = end;
            pending_ = true;
        }
        changed_.notify_all();
        return true;
    }

    void Join() {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !pending_; });
        }
        taken_.unlock();
    }

  private:
    // Called with `taken_` held.
    bool Running() {
        if (thread_.joinable())
            return owner_ == getpid();
        try {
            thread_ = std::thread([this] { Serve(); });
        } catch (const std::system_error&) {
            return false;
        }
        owner_ = getpid();
        return true;
    }

    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return pending_ || stopping_; });
            if (!pending_)
                return;
            lock.unlock();
            job_(work_, begin_, end_);
            lock.lock();
            pending_ = false;
            changed_.notify_all();
        }
    }

    std::mutex taken_;  // held by the caller whose half the thread runs
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
    pid_t owner_ = 0;
    HalfJob job_ = nullptr;
    const void* work_ = nullptr;
    int32_t begin_ = 0, end_ = 0;
    bool pending_ = false, stopping_ = false;
};

KeptThread& TheKeptThread() {
    static KeptThread kept;
    return kept;
}

}  // namespace

bool StartOnKeptThread(HalfJob job, const void* work, int32_t begin, int32_t end) {
    return TheKeptThread().Start(job, work, begin, end);
}

void JoinKeptThread() {
    TheKeptThread().Join();
}

}  // namespace frei0r_bridge

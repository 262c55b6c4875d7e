#include "render/DrawThreadPool.h"

#include <algorithm>
#include <system_error>

namespace kelvane {

// x86-64 and the other 64-bit targets compute single-precision operations in single precision,
// so the workers need no floating-point control-word setting.

DrawThreadPool::~DrawThreadPool() {
    Stop();
}

bool DrawThreadPool::Start(uint32_t workerCount) {
    Stop();
    if (workerCount > kMaxWorkers) {
        return false;
    }
    std::lock_guard<std::mutex> dispatch(dispatch_);
    workers_.reserve(workerCount);
    try {
        for (uint32_t i = 0; i < workerCount; ++i) {
            workers_.emplace_back([this] { WorkerLoop(); });
        }
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        work_.notify_all();
        for (std::thread& t : workers_) {
            t.join();
        }
        workers_.clear();
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = false;
        return false;
    }
    workerCount_.store(workerCount, std::memory_order_release);
    return true;
}

void DrawThreadPool::Stop() {
    std::lock_guard<std::mutex> dispatch(dispatch_);
    workerCount_.store(0, std::memory_order_release);
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    work_.notify_all();
    for (std::thread& t : workers_) {
        t.join();
    }
    workers_.clear();
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = false;
}

void DrawThreadPool::DrawBands(std::unique_lock<std::mutex>& lock) {
    while (nextJob_ < jobCount_) {
        const uint32_t k = nextJob_++;
        const BandRunner runner = runner_;
        lock.unlock();
        runner(slots_[k]);  // the slot is not touched again until the batch is over
        lock.lock();
        if (++finished_ == jobCount_) {
            done_.notify_one();
        }
    }
}

void DrawThreadPool::WorkerLoop() {
    std::unique_lock<std::mutex> lock(lock_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || nextJob_ < jobCount_; });
        if (stop_) {
            return;
        }
        DrawBands(lock);
    }
}

uint32_t DrawThreadPool::BandCount(int32_t y0, int32_t y1, int32_t width, uint32_t workers) {
    const uint64_t rows = y1 > y0 ? uint64_t(int64_t(y1) - y0) : 0;
    const uint64_t pixels = rows * uint64_t(std::max(width, 1));
    const uint64_t byWork = std::max<uint64_t>(1, pixels / kMinBandPixels);
    const uint64_t drawers = uint64_t(std::min(workers, kMaxWorkers)) + 1;
    return uint32_t(std::max<uint64_t>(1, std::min({drawers, byWork, rows})));
}

void DrawThreadPool::RunBands(const PixelJob& job, int32_t y0, int32_t y1, BandRunner runner) {
    // A reversed range is empty; split unsigned it would turn into bands far outside the image.
    y1 = std::max(y0, y1);
    std::lock_guard<std::mutex> dispatch(dispatch_);
    const uint32_t workers = uint32_t(workers_.size());
    const uint32_t n = BandCount(y0, y1, job.x1 - job.x0, workers);
    if (n == 1) {
        PixelJob band = job;
        band.y0 = y0;
        band.y1 = y1;
        runner(band);
        return;
    }
    std::unique_lock<std::mutex> lock(lock_);
    for (uint32_t k = 0; k < n; ++k) {
        slots_[k] = job;
        BandRows(y0, y1, n, k, &slots_[k].y0, &slots_[k].y1);
    }
    runner_ = runner;
    nextJob_ = 0;
    finished_ = 0;
    jobCount_ = n;
    // The caller draws a band itself: one worker fewer than bands needs waking.
    for (uint32_t k = 1; k < n; ++k) {
        work_.notify_one();
    }
    DrawBands(lock);
    done_.wait(lock, [this] { return finished_ == jobCount_; });
    jobCount_ = 0;
    nextJob_ = 0;
    finished_ = 0;
}

void BandRows(int32_t y0, int32_t y1, uint32_t n, uint32_t k, int32_t* bandY0, int32_t* bandY1) {
    const uint64_t h = uint32_t(y1 - y0);
    *bandY0 = y0 + int32_t(uint64_t(k) * h / n);
    *bandY1 = y0 + int32_t(uint64_t(k + 1) * h / n);
}

void RunBands(DrawThreadPool* pool, const PixelJob& job, int32_t y0, int32_t y1) {
    if (pool == nullptr || pool->WorkerCount() == 0) {
        PixelJob band = job;
        band.y0 = y0;
        band.y1 = y1;
        RunPixelJob(band);
        return;
    }
    pool->RunBands(job, y0, y1);
}

DrawThreadPool& ProcessDrawThreadPool() {
    static DrawThreadPool pool;
    return pool;
}

bool CreateDrawThreadPool(uint32_t workerCount) {
    return ProcessDrawThreadPool().Start(workerCount);
}

void DestroyDrawThreadPool() {
    ProcessDrawThreadPool().Stop();
}

}  // namespace kelvane

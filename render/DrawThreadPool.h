#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "render/PixelJob.h"

namespace kelvane {

// The drawing workers. One batch at a time: RunBands splits a job's rows into bands, one for the
// calling thread and one per worker at most, and fewer for passes too short to repay a worker's
// wake-up; the caller and the workers take bands until none is left, and the caller waits for the
// last one. A pass of one band is drawn by the caller without waking anyone.
class DrawThreadPool {
  public:
    static constexpr uint32_t kMaxWorkers = 16;
    // Below this many pixels per band a band is drawn sooner than a worker wakes up for it.
    static constexpr uint64_t kMinBandPixels = 16384;
    using BandRunner = void (*)(const PixelJob&);

    DrawThreadPool() = default;
    ~DrawThreadPool();
    DrawThreadPool(const DrawThreadPool&) = delete;
    DrawThreadPool& operator=(const DrawThreadPool&) = delete;

    // Ends any running workers, then starts workerCount new ones. Fails for more than 16
    // workers (the start-up code clamps the setting first) or when a thread cannot be started;
    // the pool then has no workers and RunBands draws on the calling thread.
    bool Start(uint32_t workerCount);
    // Ends and joins the workers. No batch may be running.
    void Stop();
    uint32_t WorkerCount() const { return workerCount_.load(std::memory_order_acquire); }

    // Draws rows y0 to y1 of the job template in BandCount bands; returns when all are done.
    // Without workers the calling thread draws. runner is replaceable for tests.
    void RunBands(const PixelJob& job, int32_t y0, int32_t y1, BandRunner runner = RunPixelJob);

    // The bands of a pass over rows y0..y1 of `width` pixels with `workers` workers: one per
    // drawing thread (the caller and the workers), no more than there are rows, and none under
    // kMinBandPixels unless the whole pass is.
    static uint32_t BandCount(int32_t y0, int32_t y1, int32_t width, uint32_t workers);

  private:
    void WorkerLoop();
    // Takes and draws bands until none is left to take. Called with the lock held.
    void DrawBands(std::unique_lock<std::mutex>& lock);

    std::mutex dispatch_;  // one batch at a time, and no batch during Start/Stop
    std::mutex lock_;
    std::condition_variable work_;
    std::condition_variable done_;
    uint32_t jobCount_ = 0;
    uint32_t nextJob_ = 0;
    uint32_t finished_ = 0;
    bool stop_ = false;
    BandRunner runner_ = RunPixelJob;
    std::array<PixelJob, kMaxWorkers + 1> slots_{};
    std::vector<std::thread> workers_;
    std::atomic<uint32_t> workerCount_{0};
};

// Band k of n over rows y0..y1: from y0 + floor(k * H / n) to y0 + floor((k + 1) * H / n).
void BandRows(int32_t y0, int32_t y1, uint32_t n, uint32_t k, int32_t* bandY0, int32_t* bandY1);

// Runs on the pool, or on the calling thread when pool is null or has no workers.
void RunBands(DrawThreadPool* pool, const PixelJob& job, int32_t y0, int32_t y1);

// The process-wide pool, started at start-up and stopped at shut-down.
DrawThreadPool& ProcessDrawThreadPool();
bool CreateDrawThreadPool(uint32_t workerCount);
void DestroyDrawThreadPool();

}  // namespace kelvane

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

// The drawing workers. One batch at a time: RunBands splits a job's rows into one band per
// worker, the workers take bands until none is left, and the caller waits for the last one.
class DrawThreadPool {
  public:
    static constexpr uint32_t kMaxWorkers = 16;
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

    // Draws rows y0 to y1 of the job template, one band per worker; returns when all are done.
    // Without workers the calling thread draws. runner is replaceable for tests.
    void RunBands(const PixelJob& job, int32_t y0, int32_t y1, BandRunner runner = RunPixelJob);

  private:
    void WorkerLoop();

    std::mutex dispatch_;  // one batch at a time, and no batch during Start/Stop
    std::mutex lock_;
    std::condition_variable work_;
    std::condition_variable done_;
    uint32_t jobCount_ = 0;
    uint32_t nextJob_ = 0;
    uint32_t finished_ = 0;
    bool stop_ = false;
    BandRunner runner_ = RunPixelJob;
    std::array<PixelJob, kMaxWorkers> slots_{};
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

#include "render/DrawThreadPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "tests/render/KernelTestSupport.h"

namespace kelvane {
namespace {

std::mutex gBandsLock;
std::vector<std::pair<int32_t, int32_t>> gBands;

void RecordBand(const PixelJob& job) {
    std::lock_guard<std::mutex> lock(gBandsLock);
    gBands.emplace_back(job.y0, job.y1);
}

std::vector<std::pair<int32_t, int32_t>> TakeBands() {
    std::lock_guard<std::mutex> lock(gBandsLock);
    std::vector<std::pair<int32_t, int32_t>> bands = std::move(gBands);
    gBands.clear();
    std::sort(bands.begin(), bands.end());
    return bands;
}

PixelJob RowsOf(int32_t width) {
    PixelJob job;
    job.x1 = width;
    return job;
}

// One band per drawing thread (the caller and each worker), no empty bands, and passes too short
// to repay a wake-up drawn by the caller alone.
TEST(DrawThreadPool, BandsAreSizedToTheWorkAndTheCallerDrawsOne) {
    using P = DrawThreadPool;
    EXPECT_EQ(P::BandCount(0, 1080, 1920, 4), 5u);
    EXPECT_EQ(P::BandCount(0, 1080, 1920, 16), 17u);
    EXPECT_EQ(P::BandCount(0, 1080, 1920, 0), 1u);
    EXPECT_EQ(P::BandCount(10, 13, 1 << 20, 4), 3u);  // no more bands than rows
    EXPECT_EQ(P::BandCount(0, 8, 1920, 4), 1u);       // 15,360 pixels: one band
    EXPECT_EQ(P::BandCount(0, 18, 1920, 4), 2u);      // 34,560 pixels: two
    EXPECT_EQ(P::BandCount(5, 5, 1920, 4), 1u);
    EXPECT_EQ(P::BandCount(10, 5, 1920, 4), 1u);

    DrawThreadPool pool;
    ASSERT_TRUE(pool.Start(4));
    pool.RunBands(RowsOf(1 << 20), 10, 13, RecordBand);
    const std::vector<std::pair<int32_t, int32_t>> three = {{10, 11}, {11, 12}, {12, 13}};
    EXPECT_EQ(TakeBands(), three);
    pool.RunBands(RowsOf(1920), 10, 5, RecordBand);
    const std::vector<std::pair<int32_t, int32_t>> empty = {{10, 10}};
    EXPECT_EQ(TakeBands(), empty);
    pool.RunBands(RowsOf(1920), 0, 8, RecordBand);
    const std::vector<std::pair<int32_t, int32_t>> whole = {{0, 8}};
    EXPECT_EQ(TakeBands(), whole);
}

TEST(DrawThreadPool, BandsFollowTheFloorFormulaAndCoverEveryRow) {
    for (uint32_t n : {1u, 2u, 3u, 7u, 16u}) {
        for (int32_t h : {0, 1, 5, 16, 1080}) {
            int32_t next = 3;
            for (uint32_t k = 0; k < n; ++k) {
                int32_t b0, b1;
                BandRows(3, 3 + h, n, k, &b0, &b1);
                EXPECT_EQ(b0, next);
                EXPECT_EQ(b0, 3 + int32_t(k * uint32_t(h) / n));
                next = b1;
            }
            EXPECT_EQ(next, 3 + h);
        }
    }
}

TEST(DrawThreadPool, StartStopAndRestart) {
    DrawThreadPool pool;
    EXPECT_FALSE(pool.Start(17));
    EXPECT_EQ(pool.WorkerCount(), 0u);
    EXPECT_FALSE(pool.Start(uint32_t(-1)));
    ASSERT_TRUE(pool.Start(4));
    EXPECT_EQ(pool.WorkerCount(), 4u);
    ASSERT_TRUE(pool.Start(16));
    EXPECT_EQ(pool.WorkerCount(), 16u);
    pool.RunBands(RowsOf(1920), 0, 1000, RecordBand);
    EXPECT_EQ(TakeBands().size(), 17u);
    ASSERT_TRUE(pool.Start(4));
    pool.RunBands(RowsOf(1920), 0, 1000, RecordBand);
    EXPECT_EQ(TakeBands().size(), 5u);
    pool.Stop();
    EXPECT_EQ(pool.WorkerCount(), 0u);
    // Without workers the calling thread draws the whole range as one band.
    pool.RunBands(PixelJob{}, 0, 100, RecordBand);
    const std::vector<std::pair<int32_t, int32_t>> whole = {{0, 100}};
    EXPECT_EQ(TakeBands(), whole);
    ASSERT_TRUE(pool.Start(0));
    EXPECT_EQ(pool.WorkerCount(), 0u);
}

TEST(DrawThreadPool, ManyBatchesInARow) {
    DrawThreadPool pool;
    ASSERT_TRUE(pool.Start(3));
    for (int i = 0; i < 500; ++i) {
        const int32_t rows = i % 7;
        pool.RunBands(RowsOf(1 << 20), 0, rows, RecordBand);
        const auto bands = TakeBands();
        ASSERT_EQ(bands.size(), size_t(std::clamp(rows, 1, 4)));
        EXPECT_EQ(bands.front().first, 0);
        EXPECT_EQ(bands.back().second, rows);
    }
}

// The same rotated, scaled and blended event drawn by 0, 1, 4 and 16 workers, on both tiers.
TEST(DrawThreadPool, WorkerCountDoesNotChangeThePixels) {
    testing::Bitmap src(64, 48);
    for (size_t i = 0; i < src.words.size(); ++i) {
        src.words[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
    }
    const float a = 0.3f, s = 1.7f;
    const float forward[9] = {
        s * std::cos(a), -s * std::sin(a), 60, s * std::sin(a), s * std::cos(a), 10, 0, 0, 1};
    for (int32_t tier : {0, 1}) {
        for (int32_t method : {2, 3}) {
            std::vector<testing::Bitmap> frames;
            for (uint32_t workers : {0u, 1u, 4u, 16u}) {
                DrawThreadPool pool;
                ASSERT_TRUE(pool.Start(workers));
                testing::Bitmap dst(160, 120, 0x00203040);
                testing::Draw d;
                d.tier = tier;
                d.method = method;
                d.mode = 0;
                d.colour = testing::Model(255, 200, 100, 128);
                d.forward = forward;
                d.inverse = nullptr;
                d.pool = &pool;
                testing::Run(dst, src, d);
                frames.push_back(dst);
            }
            EXPECT_NE(frames[0].words, testing::Bitmap(160, 120, 0x00203040).words);
            for (size_t i = 1; i < frames.size(); ++i) {
                EXPECT_EQ(frames[i].words, frames[0].words)
                    << "tier " << tier << " method " << method << " pool " << i;
            }
        }
    }
}

TEST(DrawThreadPool, ProcessPoolStartsAndStops) {
    ASSERT_TRUE(CreateDrawThreadPool(2));
    EXPECT_EQ(ProcessDrawThreadPool().WorkerCount(), 2u);
    EXPECT_FALSE(CreateDrawThreadPool(100));
    EXPECT_EQ(ProcessDrawThreadPool().WorkerCount(), 0u);
    ASSERT_TRUE(CreateDrawThreadPool(4));
    DestroyDrawThreadPool();
    EXPECT_EQ(ProcessDrawThreadPool().WorkerCount(), 0u);
}

}  // namespace
}  // namespace kelvane

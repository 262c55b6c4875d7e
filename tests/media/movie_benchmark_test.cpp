#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/MovieReader.h"
#include "media/TimeoutQuery.h"
#include "movie_test_support.h"

namespace kelvane {
namespace {

// Sequential reading of a 1280 x 720 H.264 movie against ffmpeg decoding the same file to nothing.
// Run on demand: media_tests --gtest_also_run_disabled_tests --gtest_filter='MovieBenchmark.*'
TEST(MovieBenchmark, DISABLED_SequentialReadAgainstFfmpeg) {
    const std::string path = movietest::TempPath("bench_720p.mp4");
    const std::string make =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i "
        "testsrc2=size=1280x720:rate=25 -frames:v 300 -c:v libx264 "
        "-preset veryfast -pix_fmt yuv420p '" +
        path + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };

    const auto f0 = Clock::now();
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -i '" + path + "' -f null -").c_str()),
              0);
    const auto f1 = Clock::now();
    ASSERT_EQ(
        std::system(
            ("ffmpeg -nostdin -loglevel error -i '" + path + "' -pix_fmt bgr0 -f null -").c_str()),
        0);
    const auto f2 = Clock::now();

    movietest::SettingsGuard settings;
    MovieReader reader;
    const auto r0 = Clock::now();
    ASSERT_TRUE(reader.Open(movietest::U16(path), 0));
    ASSERT_EQ(reader.FrameCount(), 300u);
    PixelImage image;
    const auto r1 = Clock::now();
    for (int k = 0; k < 300; ++k)
        ASSERT_TRUE(reader.GetFrame(k, image)) << k;
    const auto r2 = Clock::now();
    reader.Close();

    std::printf("ffmpeg -f null:              %.3f s (%.1f frames/s)\n", seconds(f0, f1),
                300 / seconds(f0, f1));
    std::printf("ffmpeg -pix_fmt bgr0 -f null: %.3f s (%.1f frames/s)\n", seconds(f1, f2),
                300 / seconds(f1, f2));
    std::printf("MovieReader open:            %.3f s\n", seconds(r0, r1));
    std::printf("MovieReader 300 frames:      %.3f s (%.1f frames/s)\n", seconds(r1, r2),
                300 / seconds(r1, r2));
}

}  // namespace
}  // namespace kelvane

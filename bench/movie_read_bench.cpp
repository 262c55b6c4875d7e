// Reading a 1080p H.264 movie (300 frames, a key frame every 250) through the MovieReader, with
// the conversion to 32-bit RGB, beside FFmpeg's own command-line decoder on the same file in the
// same run: sequential frames per second, milliseconds per randomly chosen frame (in one process,
// and as whole processes against ffmpeg's accurate seek), and backward stepping.
//
//   movie_read_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//   movie_read_bench --read-all FILE     (one whole sequential read, to time as a command)
//   movie_read_bench --frame FILE N OUT  (frame N as a 32-bit BMP, to time as a command)
//
// The movie is made once with ffmpeg into $TMPDIR (or /tmp) and kept there for later runs.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "media/MovieReader.h"
#include "media/TimeoutQuery.h"
#include "platform/Path.h"
#include "render/PixelImage.h"
#include "settings/AppSettings.h"
#include "support/ScriptedPrompt.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

constexpr int kFrames = 300;

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

const std::string& MoviePath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        const std::string folder = dir && *dir ? dir : "/tmp";
        const std::string file = folder + "/kelvane_bench_1080p30_g250.mp4";
        if (access(file.c_str(), R_OK) != 0) {
            const std::string part = folder + "/kelvane_bench_1080p30_g250.part.mp4";
            const std::string make =
                "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=1920x1080:r=30:d=10 "
                "-c:v libx264 -preset medium -g 250 -pix_fmt yuv420p " +
                Quoted(part);
            if (std::system(make.c_str()) != 0 || std::rename(part.c_str(), file.c_str()) != 0) {
                std::fprintf(stderr, "cannot make %s with ffmpeg\n", file.c_str());
                std::exit(1);
            }
        }
        return file;
    }();
    return path;
}

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// CPU seconds (user + system) of this process, or of its reaped children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// One pass over every frame, opening and closing included, like a decoding command.
bool ReadAll(const std::string& path, int* frames) {
    MovieReader reader;
    PixelImage image;
    if (!reader.Open(FromUtf8(path), 0)) {
        return false;
    }
    const int count = int(reader.FrameCount());
    for (int k = 0; k < count; ++k) {
        if (!reader.GetFrame(k, image)) {
            return false;
        }
    }
    reader.Close();
    *frames = count;
    return true;
}

void SetRates(benchmark::State& state, double cpuSeconds) {
    state.counters["fps"] =
        benchmark::Counter(kFrames, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cpu_ms_per_frame"] =
        benchmark::Counter(cpuSeconds * 1000.0 / (double(state.iterations()) * kFrames));
}

void SequentialOurs(benchmark::State& state) {
    const std::string& path = MoviePath();
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        int frames = 0;
        if (!ReadAll(path, &frames) || frames != kFrames) {
            state.SkipWithError("the movie reader failed");
            return;
        }
    }
    SetRates(state, CpuSeconds(RUSAGE_SELF) - cpu0);
}

// FFmpeg decoding the same file to the null sink, start-up included: `options` go before the
// input (decoder threads), `outputOptions` after it (the pixel format the frames are converted
// to before the sink).
void SequentialFfmpeg(benchmark::State& state, const std::string& options,
                      const std::string& outputOptions) {
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error " + options + " -i " +
                                Quoted(MoviePath()) + " " + outputOptions + " -f null -";
    const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
    }
    SetRates(state, CpuSeconds(RUSAGE_CHILDREN) - cpu0);
}

// Frames in a fixed pseudo-random order over the whole movie; each is timed alone, so the
// median and the 95th percentile come from single requests. The reader stays open, as it does
// in a project.
void RandomOurs(benchmark::State& state) {
    MovieReader reader;
    PixelImage image;
    if (!reader.Open(FromUtf8(MoviePath()), 0) || !reader.GetFrame(0, image)) {
        state.SkipWithError("the movie reader failed");
        return;
    }
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pick(0, int(reader.FrameCount()) - 1);
    std::vector<double> ms;
    // Pictures the decoder produced for the requests: those left undecoded on the way to a
    // target (non-reference pictures before it) do not count.
    const uint64_t decoded0 = reader.Graph()->DecodedFrames();
    for (auto _ : state) {
        const int index = pick(random);
        const auto t0 = Clock::now();
        const bool ok = reader.GetFrame(index, image);
        const auto t1 = Clock::now();
        if (!ok) {
            state.SkipWithError("the movie reader failed");
            return;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    state.counters["decoded_per_seek"] =
        double(reader.Graph()->DecodedFrames() - decoded0) / double(ms.size());
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    state.counters["p50_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
    state.counters["max_ms"] = ms.back();
}

// Frames in the same pseudo-random order, each from a reader of its own, as the --frame mode and
// a project opened afresh read them: the pictures decoded per request are those from the key frame
// before the target, less the ones no later picture refers to.
void RandomFreshReader(benchmark::State& state) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pick(0, kFrames - 1);
    std::vector<double> ms;
    uint64_t decoded = 0;
    for (auto _ : state) {
        const int index = pick(random);
        const auto t0 = Clock::now();
        MovieReader reader;
        PixelImage image;
        if (!reader.Open(FromUtf8(MoviePath()), 0) || !reader.GetFrame(index, image)) {
            state.SkipWithError("the movie reader failed");
            return;
        }
        // Pictures decoded ahead of the target while it was being delivered count too.
        decoded += reader.Graph()->DecodedFrames();
        reader.Close();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    state.counters["decoded_per_seek"] = double(decoded) / double(ms.size());
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    state.counters["p50_ms"] = at(0.5);
    state.counters["p95_ms"] = at(0.95);
}

// Stepping backwards one frame at a time over 100 frames (20 without the cache), as the editor's
// cursor does, from frame 240 (key frames at 0 and 250): pictures decoded per step and time per
// step, with the cache of decoded pictures at its setting ("MovieCacheSize", default 512 MB) and
// turned off.
void BackwardSteps(benchmark::State& state, int cacheMegabytes, int steps) {
    const int32_t saved = Settings().movieCacheSize;
    Settings().movieCacheSize = cacheMegabytes;
    for (auto _ : state) {
        MovieReader reader;
        PixelImage image;
        if (!reader.Open(FromUtf8(MoviePath()), 0) || !reader.GetFrame(240, image)) {
            state.SkipWithError("the movie reader failed");
            break;
        }
        const uint64_t decoded0 = reader.Graph()->DecodedFrames();
        const auto t0 = Clock::now();
        for (int k = 239; k >= 240 - steps; --k) {
            if (!reader.GetFrame(k, image)) {
                state.SkipWithError("the movie reader failed");
                break;
            }
        }
        const auto t1 = Clock::now();
        state.counters["decoded_per_step"] =
            double(reader.Graph()->DecodedFrames() - decoded0) / double(steps);
        state.counters["ms_per_step"] =
            std::chrono::duration<double, std::milli>(t1 - t0).count() / double(steps);
    }
    Settings().movieCacheSize = saved;
}

// One random frame as a whole process, start-up included: this program's --frame mode beside
// ffmpeg's accurate seek writing the frame as BMP, over the same 12 frames, alternating.
void RandomFrameProcesses(benchmark::State& state, const std::string& self) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pick(0, kFrames - 1);
    std::vector<double> ours, theirs, oursCpu, theirsCpu;
    const std::string out = "/tmp/kelvane_bench_frame.bmp";
    for (auto _ : state) {
        for (int i = 0; i < 12; ++i) {
            const int frame = pick(random);
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.6f", frame / 30.0);
            const std::string a = Quoted(self) + " --frame " + Quoted(MoviePath()) + " " +
                                  std::to_string(frame) + " " + Quoted(out);
            const std::string b = "ffmpeg -nostdin -loglevel error -y -ss " + std::string(seconds) +
                                  " -i " + Quoted(MoviePath()) + " -frames:v 1 " + Quoted(out);
            for (int which = 0; which < 2; ++which) {
                const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
                const auto t0 = Clock::now();
                if (std::system((which ? b : a).c_str()) != 0) {
                    state.SkipWithError("a frame command failed");
                    return;
                }
                (which ? theirs : ours)
                    .push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                (which ? theirsCpu : oursCpu)
                    .push_back((CpuSeconds(RUSAGE_CHILDREN) - cpu0) * 1000.0);
            }
        }
    }
    auto at = [](std::vector<double> v, double q) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
    };
    state.counters["ours_p50_ms"] = at(ours, 0.5);
    state.counters["ours_p90_ms"] = at(ours, 0.9);
    state.counters["ffmpeg_p50_ms"] = at(theirs, 0.5);
    state.counters["ffmpeg_p90_ms"] = at(theirs, 0.9);
    state.counters["speedup_p50"] = at(theirs, 0.5) / at(ours, 0.5);
    state.counters["speedup_p90"] = at(theirs, 0.9) / at(ours, 0.9);
    // CPU time (user + system) of each command: steadier than wall time on a shared machine.
    state.counters["ours_cpu_p50_ms"] = at(oursCpu, 0.5);
    state.counters["ffmpeg_cpu_p50_ms"] = at(theirsCpu, 0.5);
    state.counters["cpu_speedup_p50"] = at(theirsCpu, 0.5) / at(oursCpu, 0.5);
}

// The --frame mode: one frame of a movie into a 32-bit BMP file, as a process of its own.
int WriteOneFrame(const char* path, int frame, const char* out) {
    MovieReader reader;
    PixelImage image;
    if (!reader.Open(FromUtf8(path), 0) || !reader.GetFrame(frame, image))
        return 1;
    FILE* f = std::fopen(out, "wb");
    if (!f)
        return 1;
    const uint32_t size = uint32_t(image.ByteSize());
    uint8_t header[54] = {'B', 'M'};
    auto put = [&](int at, uint32_t v) { std::memcpy(header + at, &v, 4); };
    put(2, 54 + size);
    put(10, 54);
    put(14, 40);
    put(18, uint32_t(image.Width()));
    put(22, uint32_t(image.Height()));
    put(26, 1 | (32u << 16));
    put(34, size);
    const bool ok =
        std::fwrite(header, 1, 54, f) == 54 && std::fwrite(image.Pixels(), 1, size, f) == size;
    return std::fclose(f) == 0 && ok ? 0 : 1;
}

void OpenOurs(benchmark::State& state) {
    for (auto _ : state) {
        MovieReader reader;
        PixelImage image;
        if (!reader.Open(FromUtf8(MoviePath()), 0) || !reader.GetFrame(0, image)) {
            state.SkipWithError("the movie reader failed");
            return;
        }
        reader.Close();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A far seek decodes up to 249 frames; on a loaded machine that may pass the reader's abort
    // timeout, and a benchmark waits (answers Yes) rather than gives up.
    kelvane::testing::ScriptedPrompt prompt;
    SetTimeoutQuery(&prompt);
    if (argc == 3 && std::strcmp(argv[1], "--read-all") == 0) {
        int frames = 0;
        if (!ReadAll(argv[2], &frames)) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
        std::printf("%d frames\n", frames);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--frame") == 0)
        return WriteOneFrame(argv[2], std::atoi(argv[3]), argv[4]);
    std::printf("movie: %s\n", MoviePath().c_str());
    benchmark::RegisterBenchmark("movie/sequential/ours_rgb32", SequentialOurs)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
    const struct {
        const char* name;
        const char* options;
        const char* outputOptions;
    } ffmpegCases[] = {
        {"movie/sequential/ffmpeg_threads1", "-threads 1", ""},
        {"movie/sequential/ffmpeg_threads1_bgr0", "-threads 1", "-pix_fmt bgr0"},
        {"movie/sequential/ffmpeg_default_threads", "", ""},
        {"movie/sequential/ffmpeg_default_threads_bgr0", "", "-pix_fmt bgr0"},
    };
    for (const auto& c : ffmpegCases) {
        benchmark::RegisterBenchmark(c.name, SequentialFfmpeg, std::string(c.options),
                                     std::string(c.outputOptions))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    benchmark::RegisterBenchmark("movie/open_and_first_frame", OpenOurs)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(5);
    // One long series: its percentiles are the result, repetitions would only average them.
    benchmark::RegisterBenchmark("movie/random_frame", RandomOurs)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(100)
        ->Repetitions(1);
    benchmark::RegisterBenchmark("movie/random_frame_fresh_reader", RandomFreshReader)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(40)
        ->Repetitions(1);
    // Without the cache every step decodes again from the key frame: 20 steps show it.
    for (int megabytes : {512, 256, 0}) {
        const int steps = megabytes ? 100 : 20;
        benchmark::RegisterBenchmark(("movie/backward_steps/cache_mb" + std::to_string(megabytes) +
                                      "/steps" + std::to_string(steps))
                                         .c_str(),
                                     BackwardSteps, megabytes, steps)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) > 0) {
        benchmark::RegisterBenchmark("movie/random_frame_process_vs_ffmpeg_ss",
                                     RandomFrameProcesses, std::string(self))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

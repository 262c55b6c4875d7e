// Pixel kernel benchmarks: one 1920 x 1080 event drawn into a 1920 x 1080 frame, against a
// memcpy of one frame and against pixman compositing the same placement. Run with
// --benchmark_repetitions; the summary at the end compares the medians of this one run.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "render/DrawThreadPool.h"
#include "render/EventGeometry.h"
#include "render/PixelImage.h"
#include "render/PixelJob.h"
#include "render/PixelTables.h"
#include "render/kernels/VectorSet.h"

namespace {

using namespace kelvane;

constexpr int32_t kW = 1920;
constexpr int32_t kH = 1080;
constexpr size_t kFrameBytes = size_t(kW) * kH * 4;
constexpr double kScale = 1.37;
constexpr double kAngleDegrees = 17.0;
constexpr uint32_t kKeyPixel = 0x00FF00FF;  // magenta, in the keyed picture's dark squares

// The alpha of the alpha picture: opaque light squares, transparent dark ones, and a soft rim of
// six pixels on each side of every edge, as a logo with anti-aliased edges has.
uint32_t CheckAlpha(int32_t x, int32_t y) {
    const bool light = ((x / 60) + (y / 60)) & 1;
    const int32_t edge = std::min({x % 60, 59 - x % 60, y % 60, 59 - y % 60});
    if (edge >= 6) {
        return light ? 255 : 0;
    }
    const int32_t ramp = 128 + (light ? 1 : -1) * (edge * 127 / 6 + 1);
    return uint32_t(std::clamp(ramp, 0, 255));
}

struct Frames {
    // alpha: the source with straight alpha; premultiplied: the same as pixman takes it.
    PixelImage source, keyed, alpha, premultiplied, destination;
    Frames() {
        source.Create(kW, kH);
        keyed.Create(kW, kH);
        alpha.Create(kW, kH);
        premultiplied.Create(kW, kH);
        destination.Create(kW, kH);
        // Gradients and 60-pixel checks, as the pixman peer benchmark draws them.
        for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
                const uint32_t r = uint32_t(x * 255 / (kW - 1));
                const uint32_t g = uint32_t(y * 255 / (kH - 1));
                const bool light = ((x / 60) + (y / 60)) & 1;
                const uint32_t p = (r << 16) | (g << 8) | (light ? 230u : 40u);
                source.Row32(y)[x] = p;
                keyed.Row32(y)[x] = light ? p : kKeyPixel;
                const uint32_t a = CheckAlpha(x, y);
                alpha.Row32(y)[x] = p | a << 24;
                premultiplied.Row32(y)[x] = a << 24 | ((r * a + 127) / 255) << 16 |
                                            ((g * a + 127) / 255) << 8 |
                                            ((p & 255) * a + 127) / 255;
            }
        }
        destination.Fill(0x00403020);  // 0x00203040 in pixel order
    }
};

Frames& TheFrames() {
    static Frames frames;
    return frames;
}

DrawThreadPool* Pool(int workers) {
    static DrawThreadPool one, two;
    static const bool started = one.Start(1) && two.Start(2);
    if (!started) {
        std::fprintf(stderr, "worker pool failed to start\n");
        std::exit(1);
    }
    return workers == 0 ? nullptr : workers == 1 ? &one : &two;
}

// Source -> output: scale and rotate about the source centre onto the output centre, composed
// with the pixel centre as the renderer composes a parametric event for methods 2 to 4.
struct Placement {
    float forward[9];
    float inverse[9];
};

void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[r * 3 + c] = a[r * 3] * b[c] + a[r * 3 + 1] * b[3 + c] + a[r * 3 + 2] * b[6 + c];
        }
    }
}

Placement MakePlacement(bool identity) {
    const float centre[9] = {1, 0, 0.500244140625f, 0, 1, 0.5f, 0, 0, 1};
    float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    if (!identity) {
        const float s = float(kScale);
        const float t = float(kAngleDegrees * 0.017453292519943295);
        const float rx = kW / 2.0f, ry = kH / 2.0f;
        const float scale[9] = {s, 0, -rx * s, 0, s, -ry * s, 0, 0, 1};
        const float rotate[9] = {
            std::cos(t), -std::sin(t), 0, std::sin(t), std::cos(t), 0, 0, 0, 1};
        const float move[9] = {1, 0, rx, 0, 1, ry, 0, 0, 1};
        float rs[9];
        Multiply(rotate, scale, rs);
        Multiply(move, rs, m);
    }
    float inverse[9];
    InvertMatrix(m, inverse);
    Placement p;
    Multiply(centre, m, p.forward);
    Multiply(inverse, centre, p.inverse);
    return p;
}

struct KernelCase {
    std::string name;
    bool identity;
    int32_t method;
    int32_t mode;
    uint32_t opacity;
    bool keyed;
    bool alpha = false;
};

DrawRequest MakeRequest(const KernelCase& k, int32_t tier, const Placement& p) {
    Frames& f = TheFrames();
    DrawRequest r;
    r.destination = reinterpret_cast<uint32_t*>(f.destination.Pixels());
    r.destinationWidth = kW;
    r.destinationHeight = kH;
    r.clip = {0, 0, kW, kH};
    r.tier = tier;
    r.drawMethod = k.method;
    const PixelImage& src = k.alpha ? f.alpha : k.keyed ? f.keyed : f.source;
    r.source = reinterpret_cast<const uint32_t*>(src.Pixels());
    r.sourceWidth = kW;
    r.sourceHeight = kH;
    r.region = {0, 0, kW, kH};
    r.transparentColour = k.keyed ? SwapRedBlue(kKeyPixel) : 0xFF000000u;
    r.colour = 0x00FFFFFFu | (k.opacity << 24);
    r.blendMode = k.mode;
    r.forward = p.forward;
    r.inverse = p.inverse;
    r.sourceAlpha = k.alpha;
    return r;
}

// Tier 1 runs with the instruction set chosen at start-up unless `forceSse2` holds.
void RunKernel(benchmark::State& state, KernelCase k, int32_t tier, int workers, bool forceSse2) {
    kernels::SelectVectorSet(forceSse2 ? kernels::VectorSet::Sse2 : kernels::BestVectorSet());
    const Placement p = MakePlacement(k.identity);
    const DrawRequest r = MakeRequest(k, tier, p);
    PixelJob job;
    if (!PreparePixelJob(r, &job)) {
        state.SkipWithError("nothing to draw");
        return;
    }
    const double visited = double(job.x1 - job.x0) * double(job.y1 - job.y0);
    DrawThreadPool* pool = Pool(workers);
    for (auto _ : state) {
        DrawTransformed(r, pool);
        benchmark::ClobberMemory();
    }
    state.counters["Mpix/s"] =
        benchmark::Counter(visited * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    kernels::SelectVectorSet(kernels::BestVectorSet());
}

void RunMemcpy(benchmark::State& state) {
    Frames& f = TheFrames();
    for (auto _ : state) {
        std::memcpy(f.destination.Pixels(), f.source.Pixels(), kFrameBytes);
        benchmark::ClobberMemory();
    }
    state.counters["Mpix/s"] = benchmark::Counter(
        double(kW) * kH * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// The pixman peer exactly as the shared peer benchmark sets it up: x8r8g8b8 in and out, the
// inverse of scale 1.37 and rotation 17 degrees about the frame centres, repeat none, one thread.
// OverAlpha: OVER with the premultiplied a8r8g8b8 alpha picture, weighted by its alpha as a
// source with alpha is.
enum class PixmanOp { Over50, Src, OverAlpha };

void RunPixman(benchmark::State& state, pixman_filter_t filter, PixmanOp op) {
    Frames& f = TheFrames();
    const double th = kAngleDegrees * M_PI / 180.0, c = std::cos(th), s = std::sin(th);
    const double dcx = kW / 2.0, dcy = kH / 2.0, scx = kW / 2.0, scy = kH / 2.0;
    pixman_f_transform ft = {{
        {c / kScale, s / kScale, scx - (c * dcx + s * dcy) / kScale},
        {-s / kScale, c / kScale, scy - (-s * dcx + c * dcy) / kScale},
        {0, 0, 1},
    }};
    pixman_transform_t affine;
    pixman_transform_from_pixman_f_transform(&affine, &ft);
    // pixman reads the rows top-down: the picture comes out upside down, the work is the same.
    const bool alpha = op == PixmanOp::OverAlpha;
    auto* srcWords = reinterpret_cast<uint32_t*>((alpha ? f.premultiplied : f.source).Pixels());
    auto* dstWords = reinterpret_cast<uint32_t*>(f.destination.Pixels());
    pixman_image_t* src = pixman_image_create_bits(alpha ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8, kW,
                                                   kH, srcWords, kW * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dstWords, kW * 4);
    pixman_image_t* mask = nullptr;
    if (op == PixmanOp::Over50) {
        const pixman_color_t half = {0, 0, 0, 0x8000};
        mask = pixman_image_create_solid_fill(&half);
    }
    pixman_image_set_repeat(src, PIXMAN_REPEAT_NONE);
    pixman_image_set_filter(src, filter, nullptr, 0);
    pixman_image_set_transform(src, &affine);
    const pixman_op_t pop = op == PixmanOp::Src ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
    for (auto _ : state) {
        pixman_image_composite32(pop, src, mask, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    state.counters["Mpix/s"] = benchmark::Counter(
        double(kW) * kH * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    pixman_image_unref(src);
    pixman_image_unref(dst);
    if (mask != nullptr) {
        pixman_image_unref(mask);
    }
}

// Prints the usual table, then the medians side by side with the ratios the targets name.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single) {
                std::string name = run.run_name.str();
                const size_t suffix = name.find("/real_time");
                if (suffix != std::string::npos) {
                    name.erase(suffix);
                }
                medians_[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const double memcpyMs = Get("memcpy");
        const double memcpyCpu = Cpu("memcpy");
        std::printf(
            "\nMedians per frame (wall clock; CPU time of the calling thread) and ratios\n");
        std::printf("%-44s %9s %9s %9s %10s %10s\n", "case", "ms", "cpu ms", "Mpix/s", "x memcpy",
                    "cpu x mc");
        for (const auto& [name, t] : medians_) {
            std::printf("%-44s %9.3f %9.3f %9.1f %10.2f %10.2f\n", name.c_str(), t.real, t.cpu,
                        double(kW) * kH / t.real / 1e3, t.real / memcpyMs, t.cpu / memcpyCpu);
        }
        std::printf(
            "\nTargets (single-threaded tier 1 unless named): wall-clock ratio, then the ratio of\n"
            "calling-thread CPU times (steadier on a shared machine; meaningless with workers)\n");
        Speedup("bilinear normal 128 rotated vs pixman bilinear OVER50 (speed-up, >= 3)",
                "pixman/bilinear_over50", K("bilinear_normal_128", 1, 0), 3.0);
        Speedup("nearest normal 128 rotated vs pixman nearest OVER50 (speed-up, >= 2)",
                "pixman/nearest_over50", K("nearest_normal_128", 1, 0), 2.0);
        Speedup("nearest normal opaque rotated vs pixman nearest SRC (speed-up, >= 2)",
                "pixman/nearest_src", K("nearest_normal_opaque", 1, 0), 2.0);
        for (const char* method : {"nearest", "bilinear"}) {
            for (const char* mode : {"multiply", "add"}) {
                for (const char* normal : {"normal_opaque", "normal_128"}) {
                    const std::string label =
                        std::string(method) + " " + mode + " vs " + normal + " (time ratio, <= 1)";
                    Slowdown(label.c_str(), K(std::string(method) + "_" + mode, 1, 0),
                             K(std::string(method) + "_" + normal, 1, 0), 1.0);
                }
            }
        }
        Slowdown("identity copy vs memcpy (time ratio, <= 1.5)", K("identity_copy", 1, 0), "memcpy",
                 1.5);
        for (const char* method : {"nearest", "bilinear"}) {
            const std::string alpha = std::string("alpha_") + method;
            Slowdown((std::string(method) + " with alpha vs keyed (time ratio, <= 1.3)").c_str(),
                     K(alpha, 1, 0), K(std::string("keyed_") + method, 1, 0), 1.3);
            Speedup((std::string(method) + " with alpha vs pixman OVER a8r8g8b8 (speed-up, >= 3)")
                        .c_str(),
                    std::string("pixman/") + method + "_over_argb", K(alpha, 1, 0), 3.0);
        }
        // The caller draws a band too: "workers1" is two drawing threads, "workers0" one.
        for (const char* k : {"identity_copy", "nearest_normal_opaque", "nearest_normal_128",
                              "bilinear_normal_128", "bilinear_multiply", "keyed_bilinear"}) {
            const std::string label =
                std::string(k) + " caller + 1 worker vs caller alone (speed-up, >= 1.8)";
            const double v = Get(K(k, 1, 0)) / Get(K(k, 1, 1));
            std::printf("%-76s %8.2f %8s  %s\n", label.c_str(), v, "", Verdict(v >= 1.8, v));
        }
        std::printf("\nThe instruction set of tier 1: %s (tier1sse2 forces SSE2)\n",
                    kernels::VectorSetName(kernels::BestVectorSet()));
        for (const char* k : {"nearest_normal_opaque", "nearest_normal_128", "bilinear_normal_128",
                              "bilinear_normal_opaque", "keyed_bilinear"}) {
            const std::string label = std::string(k) + " tier 1 vs tier 1 SSE2 (speed-up)";
            Speedup(label.c_str(), K(k, 1, 0, true), K(k, 1, 0), 1.0);
        }
        std::fflush(stdout);
    }

  private:
    static std::string K(const std::string& name, int tier, int workers, bool sse2 = false) {
        return "kernel/" + name + "/tier" + std::to_string(tier) + (sse2 ? "sse2" : "") +
               "/workers" + std::to_string(workers);
    }
    struct Times {
        double real;
        double cpu;
    };
    double Get(const std::string& name) const {
        const auto it = medians_.find(name);
        return it == medians_.end() ? std::nan("") : it->second.real;
    }
    double Cpu(const std::string& name) const {
        const auto it = medians_.find(name);
        return it == medians_.end() ? std::nan("") : it->second.cpu;
    }
    static const char* Verdict(bool ok, double v) {
        return std::isnan(v) ? "not run" : ok ? "met" : "MISSED";
    }
    // peer time / our time, at least limit
    void Speedup(const char* label, const std::string& peer, const std::string& ours,
                 double limit) const {
        const double wall = Get(peer) / Get(ours), cpu = Cpu(peer) / Cpu(ours);
        std::printf("%-76s %8.2f %8.2f  %s\n", label, wall, cpu, Verdict(wall >= limit, wall));
    }
    // our time / reference time, at most limit
    void Slowdown(const char* label, const std::string& ours, const std::string& reference,
                  double limit) const {
        const double wall = Get(ours) / Get(reference), cpu = Cpu(ours) / Cpu(reference);
        std::printf("%-76s %8.2f %8.2f  %s\n", label, wall, cpu, Verdict(wall <= limit, wall));
    }

    std::map<std::string, Times> medians_;
};

}  // namespace

int main(int argc, char** argv) {
    BuildPixelTables();
    (void)TheFrames();
    benchmark::RegisterBenchmark("memcpy", RunMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
    const std::vector<KernelCase> cases = {
        {"identity_copy", true, 2, 0, 0, false},
        {"nearest_normal_opaque", false, 2, 0, 0, false},
        {"nearest_normal_128", false, 2, 0, 128, false},
        {"nearest_multiply", false, 2, 4, 0, false},
        {"nearest_add", false, 2, 5, 0, false},
        {"bilinear_normal_opaque", false, 3, 0, 0, false},
        {"bilinear_normal_128", false, 3, 0, 128, false},
        {"bilinear_multiply", false, 3, 4, 0, false},
        {"bilinear_add", false, 3, 5, 0, false},
        {"keyed_bilinear", false, 3, 0, 0, true},
        {"keyed_nearest", false, 2, 0, 0, true},
        {"alpha_nearest", false, 2, 0, 0, false, true},
        {"alpha_bilinear", false, 3, 0, 0, false, true},
    };
    for (const KernelCase& k : cases) {
        for (int32_t tier : {0, 1, 2}) {  // 2: tier 1 on SSE2
            for (int workers : {0, 1, 2}) {
                if (tier == 2 && workers != 0) {
                    continue;
                }
                const std::string name = "kernel/" + k.name + "/tier" +
                                         (tier == 2 ? "1sse2" : std::to_string(tier)) + "/workers" +
                                         std::to_string(workers);
                benchmark::RegisterBenchmark(name.c_str(), RunKernel, k, std::min(tier, 1), workers,
                                             tier == 2)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
    benchmark::RegisterBenchmark("pixman/bilinear_over50", RunPixman, PIXMAN_FILTER_BILINEAR,
                                 PixmanOp::Over50)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("pixman/nearest_over50", RunPixman, PIXMAN_FILTER_NEAREST,
                                 PixmanOp::Over50)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("pixman/nearest_src", RunPixman, PIXMAN_FILTER_NEAREST,
                                 PixmanOp::Src)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("pixman/bilinear_over_argb", RunPixman, PIXMAN_FILTER_BILINEAR,
                                 PixmanOp::OverAlpha)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("pixman/nearest_over_argb", RunPixman, PIXMAN_FILTER_NEAREST,
                                 PixmanOp::OverAlpha)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// The cost of the frei0r bridge over the plug-in alone, per 1080p frame: the plug-in's own update
// on a frame already in its format, against the whole effect call (our frame to the plug-in's,
// the update, and the draw back into the frame). BridgeOnly times the bridge's own pixel work by
// itself (our frame to the plug-in's and a given output drawn back), which is the figure to quote:
// "common" is an effect over the whole frame as it stands, "general" one placed at half size,
// tinted, in multiply at half opacity, from an output with varying alpha. The "_scalar" rows do
// the same with the plain C++ row kernels, against which the vector ones are measured.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "DrawBack.h"
#include "PixelExchange.h"
#include "frei0r.h"
#include "media/EffectPlugin.h"

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;

std::vector<uint32_t> Pattern() {
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i * 2654435761u) & 0x00FFFFFF;
    return pixels;
}

void PluginAlone(benchmark::State& state, const char* file) {
    void* handle = dlopen((std::string("/usr/lib/frei0r-1/") + file).c_str(), RTLD_NOW);
    if (!handle) {
        state.SkipWithError("plug-in not installed");
        return;
    }
    reinterpret_cast<int (*)()>(dlsym(handle, "f0r_init"))();
    auto construct =
        reinterpret_cast<f0r_instance_t (*)(unsigned, unsigned)>(dlsym(handle, "f0r_construct"));
    auto update = reinterpret_cast<void (*)(f0r_instance_t, double, const uint32_t*, uint32_t*)>(
        dlsym(handle, "f0r_update"));
    f0r_instance_t instance = construct(kWidth, kHeight);
    const size_t bytes = size_t(kWidth) * kHeight * 4;
    auto* in = static_cast<uint32_t*>(std::aligned_alloc(16, bytes));
    auto* out = static_cast<uint32_t*>(std::aligned_alloc(16, bytes));
    std::vector<uint32_t> pattern = Pattern();
    for (size_t i = 0; i < pattern.size(); ++i)
        in[i] = pattern[i] | 0xFF000000u;
    double time = 0;
    for (auto _ : state) {
        update(instance, time, in, out);
        benchmark::DoNotOptimize(out[0]);
        time += 0.04;
    }
    std::free(in);
    std::free(out);
}

void ThroughBridge(benchmark::State& state, const char16_t* name) {
    kelvane::EffectPlugin plugin;
    const std::string path = KELVANE_FREI0R_MODULE;
    if (!plugin.Load(std::u16string(path.begin(), path.end()), 0, name)) {
        state.SkipWithError("not listed");
        return;
    }
    std::vector<uint32_t> frame = Pattern();
    const EffectRect rect{0, 0, kWidth, kHeight};
    const float forward[9] = {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1};
    const float inverse[9] = {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1};
    double time = 0;
    for (auto _ : state) {
        plugin.Transform(frame.data(), kWidth, kHeight, rect, rect, 0x00FFFFFF, 0, forward, inverse,
                         nullptr, time);
        benchmark::DoNotOptimize(frame[0]);
        time += 0.04;
    }
}

void BridgeOnly(benchmark::State& state, bool general, bool reference) {
    const frei0r_bridge::PixelKernels& kernels =
        reference ? frei0r_bridge::ScalarKernels() : frei0r_bridge::FastestKernels();
    state.SetLabel(kernels.name);
    std::vector<uint32_t> frame = Pattern();
    const size_t bytes = size_t(kWidth) * kHeight * 4;
    auto* in = static_cast<uint32_t*>(std::aligned_alloc(16, bytes));
    auto* out = static_cast<uint32_t*>(std::aligned_alloc(16, bytes));
    for (size_t i = 0; i < frame.size(); ++i)
        out[i] = ~frame[i] | (general ? uint32_t(i * 7) << 24 : 0xFF000000u);
    const EffectRect rect{0, 0, kWidth, kHeight};
    const float identity[9] = {1, 0, 0.5f, 0, 1, 0.5f, 0, 0, 1};
    const float half[9] = {0.5f, 0, 0.5f, 0, 0.5f, 0.5f, 0, 0, 1};
    const float twice[9] = {2, 0, 1, 0, 2, 1, 0, 0, 1};
    effect::Canvas canvas;
    canvas.Prepare(frame.data(), kWidth, kHeight, &rect, &rect, general ? 0x80C0E0FFu : 0x00FFFFFFu,
                   general ? half : identity, general ? twice : identity);
    const frei0r_bridge::PluginOutput output =
        frei0r_bridge::OutputOf(out, kWidth, kHeight, F0R_COLOR_MODEL_RGBA8888);
    for (auto _ : state) {
        frei0r_bridge::FrameToPlugin(frame.data(), kWidth, kHeight, F0R_COLOR_MODEL_RGBA8888, in,
                                     kernels);
        frei0r_bridge::DrawBack(canvas, general ? 4 : 0, output, kernels);
        benchmark::DoNotOptimize(frame[0]);
    }
    std::free(in);
    std::free(out);
}

BENCHMARK_CAPTURE(BridgeOnly, common, false, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BridgeOnly, general, true, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BridgeOnly, common_scalar, false, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BridgeOnly, general_scalar, true, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(PluginAlone, glow, "glow.so")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ThroughBridge, glow, u"Glow")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(PluginAlone, invert0r, "invert0r.so")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ThroughBridge, invert0r, u"Invert0r")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

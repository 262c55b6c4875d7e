// The mixer's throughput: a project whose 256 tracks all sound at once (each a different stretch
// of one long noise, at its own speed), mixed in blocks as a playback
// thread asks for them and per frame as the export does. Reports output samples per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "media/MediaSource.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundFormat.h"
#include "media/audio/SoundMixer.h"

namespace kelvane {
namespace {

std::unique_ptr<Project> SoundingProject(int tracks) {
    auto project = Project::Create();
    project->ApplyDefaults();
    project->settings.length = 30 * 60;  // a minute at 30 fps
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-0.25f, 0.25f);
    std::vector<float> noise(size_t(kSoundRate) * 90 * kSoundChannels);
    for (float& v : noise) {
        v = value(random);
    }
    // One clip for every slot, as 256 events of one long recording would share it.
    const auto clip = SoundClip::FromSamples(std::move(noise));
    for (int t = 0; t < tracks; ++t) {
        auto source = std::make_unique<MediaSource>();
        source->sound = clip;
        FileEntry& entry = project->files[size_t(t)];
        entry.loaded = std::move(source);
        entry.kind = FileKind::Movie;
        TrackEvent e{};
        e.flags = kEventUsed;
        e.fileId = t;
        e.position = RefTime(t) * 100'000;
        e.step = project->settings.frameDuration * (90 + t % 20) / 100;
        project->tracks[size_t(t)].InsertSorted(&e, 1);
    }
    return project;
}

void Mix(benchmark::State& state) {
    const int tracks = int(state.range(0));
    const int64_t block = state.range(1);
    auto project = SoundingProject(tracks);
    std::vector<float> out(size_t(block) * kSoundChannels);
    int64_t at = 0;
    const int64_t end = ProjectSoundLength(*project) - block;
    for (auto _ : state) {
        MixProjectSound(*project, at, at + block, out.data());
        benchmark::DoNotOptimize(out.data());
        at = at + block < end ? at + block : 0;
    }
    state.SetItemsProcessed(state.iterations() * block);
    state.counters["realtime"] = benchmark::Counter(double(state.iterations() * block) / kSoundRate,
                                                    benchmark::Counter::kIsRate);
}
// 256 tracks in playback blocks of 1024 and export frames of 1600; one track for comparison.
BENCHMARK(Mix)
    ->Args({256, 1024})
    ->Args({256, 1600})
    ->Args({1, 1600})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvane

BENCHMARK_MAIN();

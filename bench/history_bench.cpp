// The edit history on a large project (1000 picture entries as descriptors, 256 tracks of 1000
// events): checkpoint, undo and redo, beside the composition of one 1080p frame in the same
// binary, the yardstick a checkpoint has to stay well under. The edit/ cases go through the
// document on the 256 x 10,000-event project (389 MB of events): a file dropped on the timeline
// with its checkpoint, undo and redo, and the memory that 16 one-event edits hold beside the
// project (counters bytes_project, bytes_history and ratio = all / project).
//
//   history_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//   history_bench --benchmark_filter=edit/ --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include "bench/LargeProject.h"

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "media/FrameRenderer.h"
#include "media/MediaSource.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/DocumentServices.h"
#include "model/EditHistory.h"
#include "model/Project.h"
#include "platform/CpuFeatures.h"
#include "platform/Path.h"
#include "render/DrawThreadPool.h"
#include "render/EventGeometry.h"
#include "render/PixelTables.h"
#include "render/SamplingMatrix.h"
#include "settings/AppSettings.h"
#include "support/ScriptedPrompt.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

// Undo and redo of these edits never change a file slot, so nothing may be loaded; a load is
// counted and fails the benchmark.
class NoLoadServices : public DocumentServices {
  public:
    bool ReadProject(std::u16string_view, Project&) override { return false; }
    bool WriteProject(std::u16string_view, Project&) override { return false; }
    bool OpenFile(const Project&, FileEntry&, FileKind, std::u16string_view) override {
        ++loads;
        return false;
    }
    bool MakeText(FileEntry&, std::u16string_view, uint32_t, const LogFont&) override {
        ++loads;
        return false;
    }
    int loads = 0;
};

// Opening any path gives the 256 x 10,000-event project.
class LargeProjectServices : public NoLoadServices {
  public:
    bool ReadProject(std::u16string_view, Project& project) override {
        std::unique_ptr<Project> large = bench::LargeProject(10'000);
        return large && CopyProjectSnapshot(*large, project);
    }
};

// Bytes the allocator has handed out, small blocks and mapped ones alike.
size_t AllocatedBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A document holding the 10,000-event project, with a full undo ring of one-event edits.
struct LargeDocument {
    LargeProjectServices services;
    testing::ScriptedPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    uint32_t edits = 0;

    bool Open() { return doc.OpenDocument(u"/large.xqm"); }
    // A picture dropped on the next track, one second further each time.
    bool Drop() {
        const uint32_t n = edits++;
        return doc.Timeline().DropFile(n % kTrackCount, int32_t(n % 1000), 15 + 30 * (n % 9000),
                                       true);
    }
};

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Steady state: the ring is full, so every checkpoint also releases the oldest snapshot.
void Checkpoint(benchmark::State& state) {
    std::unique_ptr<Project> live = bench::LargeProject();
    EditHistory history;
    for (uint32_t k = 0; k < EditHistory::kRingSize; ++k) {
        history.Checkpoint(*live);
    }
    for (auto _ : state) {
        if (!history.Checkpoint(*live)) {
            state.SkipWithError("checkpoint failed");
            return;
        }
    }
}

// An edit between checkpoints (one event moved on one track), then undo and redo in turn; each
// is timed alone.
void UndoRedo(benchmark::State& state, bool timeUndo) {
    std::unique_ptr<Project> live = bench::LargeProject();
    NoLoadServices services;
    EditHistory history;
    for (uint32_t k = 0; k < 4; ++k) {
        history.Checkpoint(*live);
        live->tracks[k].Events()[0].left += 1;
    }
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool undone = history.Undo(*live, services);
        const auto t1 = Clock::now();
        const bool redone = history.Redo(*live, services);
        const auto t2 = Clock::now();
        if (!undone || !redone || services.loads != 0) {
            state.SkipWithError("undo or redo failed, or loaded a file");
            return;
        }
        state.SetIterationTime((timeUndo ? Ms(t0, t1) : Ms(t1, t2)) / 1000.0);
    }
}

// The yardstick: one 1920 x 1080 picture filling the frame, drawn bilinear (method 3), opaque,
// either at 1:1 or scaled 1.37 and rotated 17 degrees about the centres.
std::unique_ptr<Project> PictureProject(bool transformed) {
    std::unique_ptr<Project> p = Project::Create();
    p->ApplyDefaults();
    p->ApplySettings(false, 1920, 1080, 300, 0x00403020, 0, 30.0, PathBuffer{});
    FileEntry& entry = p->files[0];
    auto source = std::make_unique<MediaSource>();
    if (!source->image.Create(1920, 1080, 32)) {
        return nullptr;
    }
    for (int32_t y = 0; y < 1080; ++y) {
        uint32_t* row = source->image.Row32(y);
        for (int32_t x = 0; x < 1920; ++x) {
            row[x] = uint32_t(x * 7 + y * 3) * 0x010203u;
        }
    }
    entry.kind = FileKind::Image;
    CopyPath(entry.path, u"/tmp/picture.png");
    entry.colour = kNoTransparentColour;
    entry.loaded = std::move(source);
    TrackEvent e{};
    e.flags = kEventUsed | kEventParametric;
    e.fileId = 0;
    e.drawMethod = int32_t(DrawMethod::Linear);
    e.right = 1920;
    e.bottom = 1080;
    e.colour = 0x00FFFFFF;
    e.referenceX = 960.0f;
    e.referenceY = 540.0f;
    e.positionX = 960.0f;
    e.positionY = 540.0f;
    e.scale = transformed ? 1.37f : 1.0f;
    e.rotation = transformed ? 17.0f : 0.0f;
    BuildParametricMatrices(e);
    p->tracks[0].InsertSorted(&e, 1);
    return p;
}

void RenderPictureFrame(benchmark::State& state, bool transformed) {
    std::unique_ptr<Project> project = PictureProject(transformed);
    PixelImage target;
    if (!project || !target.Create(1920, 1080, 32)) {
        state.SkipWithError("no memory");
        return;
    }
    uint32_t frame = 0;
    for (auto _ : state) {
        if (!RenderFrame(*project, frame++ % 300, target, false)) {
            state.SkipWithError("render failed");
            return;
        }
    }
}

// A checkpoint of a project whose picture is loaded (8 MB of pixels): only its descriptor goes
// into the snapshot.
void CheckpointLoadedPicture(benchmark::State& state) {
    std::unique_ptr<Project> live = PictureProject(false);
    EditHistory history;
    for (uint32_t k = 0; k < EditHistory::kRingSize; ++k) {
        history.Checkpoint(*live);
    }
    for (auto _ : state) {
        if (!history.Checkpoint(*live)) {
            state.SkipWithError("checkpoint failed");
            return;
        }
    }
}

// A file dropped on the timeline of the 389 MB project: checkpoint and insertion, in the steady
// state where every checkpoint also lets the oldest snapshot go.
void EditDropFile(benchmark::State& state) {
    LargeDocument large;
    if (!large.Open()) {
        state.SkipWithError("no memory");
        return;
    }
    for (uint32_t k = 0; k < EditHistory::kRingSize; ++k) {
        large.Drop();
    }
    for (auto _ : state) {
        if (!large.Drop() || !large.prompt.errors.empty()) {
            state.SkipWithError("the drop failed");
            return;
        }
    }
}

// Undo and redo of a drop on the 389 MB project, each timed alone.
void EditUndoRedo(benchmark::State& state, bool timeUndo) {
    LargeDocument large;
    if (!large.Open()) {
        state.SkipWithError("no memory");
        return;
    }
    for (uint32_t k = 0; k < 4; ++k) {
        large.Drop();
    }
    for (auto _ : state) {
        const auto t0 = Clock::now();
        large.doc.Undo();
        const auto t1 = Clock::now();
        large.doc.Redo();
        const auto t2 = Clock::now();
        if (large.services.loads != 0 || !large.doc.CanUndo() || large.doc.CanRedo()) {
            state.SkipWithError("undo or redo failed, or loaded a file");
            return;
        }
        state.SetIterationTime((timeUndo ? Ms(t0, t1) : Ms(t1, t2)) / 1000.0);
    }
}

// What 16 one-event edits hold beside the project itself: a count, not a time.
void EditMemory(benchmark::State& state) {
    for (auto _ : state) {
        const size_t before = AllocatedBytes();
        auto large = std::make_unique<LargeDocument>();
        if (!large->Open()) {
            state.SkipWithError("no memory");
            return;
        }
        const size_t opened = AllocatedBytes();
        for (uint32_t k = 0; k < EditHistory::kRingSize; ++k) {
            large->Drop();
        }
        const size_t edited = AllocatedBytes();
        const double project = double(opened - before);
        state.counters["bytes_project"] = project;
        state.counters["bytes_history"] = double(edited) - double(opened);
        state.counters["ratio"] = double(edited - before) / project;
    }
}

}  // namespace

int main(int argc, char** argv) {
    InitSamplingMatrix();
    BuildPixelTables();
    Settings().instructionLevel = HasVectorTier() ? 1 : 0;
    if (!CreateDrawThreadPool(uint32_t(Settings().drawFrameThread))) {
        std::fprintf(stderr, "cannot start the drawing workers\n");
        return 1;
    }
    std::printf("drawing workers: %d, instruction level %d\n", Settings().drawFrameThread,
                Settings().instructionLevel);
    benchmark::RegisterBenchmark("history/checkpoint/large_project", Checkpoint)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("history/undo/large_project", UndoRedo, true)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("history/redo/large_project", UndoRedo, false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("edit/drop_file/large_project_10k", EditDropFile)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("edit/undo/large_project_10k", EditUndoRedo, true)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("edit/redo/large_project_10k", EditUndoRedo, false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("edit/memory_16_edits/large_project_10k", EditMemory)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("history/checkpoint/loaded_1080p_picture", CheckpointLoadedPicture)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("render/frame_1080p/picture_bilinear_1to1", RenderPictureFrame,
                                 false)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("render/frame_1080p/picture_bilinear_scale1.37_rot17",
                                 RenderPictureFrame, true)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    DestroyDrawThreadPool();
    return 0;
}

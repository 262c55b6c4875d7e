// Reading and writing a large project: 1000 picture entries and 256 tracks of 1000 events. The
// loader accepts every entry without loading anything, so only the file format is measured.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include "bench/LargeProject.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SourceLoader.h"
#include "platform/Path.h"
#include "support/ScriptedPrompt.h"

namespace {

using namespace kelvane;

const std::vector<uint8_t>& LargeFile() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> out;
        ProjectFile::WriteToMemory(*bench::LargeProject(), out);
        return out;
    }();
    return bytes;
}

std::u16string ScratchPath() {
    return FromUtf8("/tmp/kelvane-project-file-bench-" + std::to_string(::getpid()) + ".xqm");
}

void BM_WriteToMemory(benchmark::State& state) {
    std::unique_ptr<Project> project = bench::LargeProject();
    std::vector<uint8_t> bytes;
    for (auto _ : state) {
        ProjectFile::WriteToMemory(*project, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_WriteToMemory)->Unit(benchmark::kMillisecond);

void BM_ReadFromMemory(benchmark::State& state) {
    const std::vector<uint8_t>& bytes = LargeFile();
    bench::DescribingLoader loader;
    kelvane::testing::ScriptedPrompt prompt;  // answers Yes and OK
    for (auto _ : state) {
        std::unique_ptr<Project> project = Project::Create();
        if (!ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), u"/tmp", *project, loader,
                                         prompt)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(project.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_ReadFromMemory)->Unit(benchmark::kMillisecond);

// The whole save: the file built in memory, written to a temporary file, flushed and renamed.
void BM_WriteFile(benchmark::State& state) {
    std::unique_ptr<Project> project = bench::LargeProject();
    const std::u16string path = ScratchPath();
    for (auto _ : state) {
        if (!ProjectFile::Write(path, *project)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(LargeFile().size()));
    std::remove(ToNativePath(path).c_str());
}
BENCHMARK(BM_WriteFile)->Unit(benchmark::kMillisecond);

void BM_ReadFile(benchmark::State& state) {
    std::unique_ptr<Project> project = bench::LargeProject();
    const std::u16string path = ScratchPath();
    ProjectFile::Write(path, *project);
    bench::DescribingLoader loader;
    kelvane::testing::ScriptedPrompt prompt;  // answers Yes and OK
    for (auto _ : state) {
        std::unique_ptr<Project> read = Project::Create();
        if (!ProjectFile::Read(path, *read, loader, prompt)) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(LargeFile().size()));
    std::remove(ToNativePath(path).c_str());
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

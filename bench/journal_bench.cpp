// The crash journal: what recording one edit costs (median and 90th percentile per edit, as
// counters beside Google Benchmark's mean), on the demo project and on the 256 x 10,000-event
// project, and how long the large project takes to come back from its journal.
//
//   make demo    # build/demo/demo.xqm; another file: KELVANE_DEMO_PROJECT=path
//   build/bin/journal_bench --benchmark_repetitions=3
//
// The edit itself (a picture dropped on the next track, with its undo checkpoint) is not timed:
// only the journal's Record after it, as the document calls it when the edit ends.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/LargeProject.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/DocumentServices.h"
#include "model/JournalRecovery.h"
#include "model/ProjectFile.h"
#include "model/RecoveryJournal.h"
#include "model/SourceLoader.h"
#include "platform/Path.h"
#include "support/ScriptedPrompt.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

class FileServices : public DocumentServices {
  public:
    bool ReadProject(std::u16string_view path, Project& project) override {
        return ProjectFile::Read(path, project, loader_, prompt_);
    }
    bool ReadProjectBytes(const std::vector<uint8_t>& bytes, std::u16string_view folder,
                          Project& project) override {
        return ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), folder, project, loader_,
                                           prompt_);
    }
    bool WriteProject(std::u16string_view path, Project& project) override {
        return ProjectFile::Write(path, project);
    }
    bool OpenFile(const Project&, FileEntry&, FileKind, std::u16string_view) override {
        return false;
    }
    bool MakeText(FileEntry&, std::u16string_view, uint32_t, const LogFont&) override {
        return false;
    }

  private:
    bench::DescribingLoader loader_;
    testing::ScriptedPrompt prompt_;
};

std::string Scratch(const char* what) {
    const std::string folder = std::filesystem::temp_directory_path().string() +
                               "/kelvane-journal-bench-" + std::to_string(::getpid()) + "-" + what;
    std::filesystem::create_directories(folder);
    return folder;
}

std::string g_largeFolder;

// The 389 MB project as a file, written once per run when a benchmark asks for it.
std::u16string LargeProjectFile() {
    if (g_largeFolder.empty()) {
        g_largeFolder = Scratch("large");
        ProjectFile::Write(FromUtf8(g_largeFolder + "/large.xqm"), *bench::LargeProject(10'000));
    }
    return FromUtf8(g_largeFolder + "/large.xqm");
}

std::u16string ProjectFor(bool large) {
    if (large) {
        return LargeProjectFile();
    }
    const char* path = std::getenv("KELVANE_DEMO_PROJECT");
    return FromUtf8(path ? path : "build/demo/demo.xqm");
}

struct Session {
    FileServices services;
    testing::ScriptedPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
};

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[size_t(p * double(values.size() - 1) + 0.5)];
}

// One picture dropped per edit, on the next track; the journal records after each.
void RecordPerEdit(benchmark::State& state, bool large) {
    const std::u16string project = ProjectFor(large);
    Session s;
    const std::string folder = Scratch("record");
    RecoveryJournal journal(folder);
    if (!s.doc.OpenDocument(project) || !journal.Restart(s.doc.GetProject(), project, true)) {
        state.SkipWithError("cannot open the project (make demo, or KELVANE_DEMO_PROJECT)");
        return;
    }
    int32_t fileId = 0;
    while (fileId < int32_t(kFileSlots) - 1 && !s.doc.GetProject().files[size_t(fileId)].Used()) {
        ++fileId;
    }
    std::vector<double> ms;
    uint32_t edit = 0;
    uint64_t bytes = 0;
    for (auto _ : state) {
        s.doc.Timeline().DropFile(edit % kTrackCount, fileId, 30 * (edit % 1000), true);
        ++edit;
        const auto t0 = Clock::now();
        const bool recorded = journal.Record(s.doc.GetProject());
        const auto t1 = Clock::now();
        if (!recorded) {
            state.SkipWithError("the journal could not be written");
            break;
        }
        bytes += journal.LastRecordBytes();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        state.SetIterationTime(ms.back() / 1000.0);
    }
    state.counters["median_ms"] = Percentile(ms, 0.5);
    state.counters["p90_ms"] = Percentile(ms, 0.9);
    state.counters["bytes_per_edit"] = ms.empty() ? 0 : double(bytes) / double(ms.size());
    journal.Remove();
    std::filesystem::remove_all(folder);
}

// The large project back from its journal: three edits on the opened file (the journal stands on
// that file), or after a compaction (a whole image); read, applied and written as project bytes,
// then read as the window reads them.
void RestoreLarge(benchmark::State& state, bool compacted) {
    Session s;
    const std::string folder = Scratch(compacted ? "restore-image" : "restore-file");
    RecoveryJournal journal(folder);
    const std::u16string project = LargeProjectFile();
    if (!s.doc.OpenDocument(project) || !journal.Restart(s.doc.GetProject(), project, true)) {
        state.SkipWithError("cannot open the large project");
        return;
    }
    if (compacted) {
        journal.SetCompactionThreshold(1);
    }
    for (uint32_t edit = 0; edit < 3; ++edit) {
        s.doc.Timeline().DropFile(edit, 0, 15, true);
        journal.Record(s.doc.GetProject());
        journal.WaitForCompaction();
    }
    std::ifstream in(journal.FilePath(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    Session restored;  // without a journal of its own: the restore alone is timed
    for (auto _ : state) {
        const RecoveredJournal recovered = ReadRecoveryJournal(bytes);
        if (recovered.state != RecoveredJournal::State::Restorable ||
            !restored.doc.RestoreDocument(recovered.path, recovered.folder, recovered.bytes)) {
            state.SkipWithError("the journal did not restore");
            break;
        }
    }
    state.counters["journal_bytes"] = double(bytes.size());
    journal.Remove();
    std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("journal/record/demo_project", RecordPerEdit, false)
        ->Iterations(200)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("journal/record/large_project_10k", RecordPerEdit, true)
        ->Iterations(100)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("journal/restore/large_project_10k/on_file", RestoreLarge, false)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("journal/restore/large_project_10k/from_image", RestoreLarge, true)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_largeFolder.empty()) {
        std::filesystem::remove_all(g_largeFolder);
    }
    return 0;
}

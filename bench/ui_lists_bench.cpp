// The file list, template list and preview pane under load:
//
//   ui_lists_bench [--benchmark_...]                  list fill and preview paint
//   KELVANE_REFERENCE_PROJECT=ref.xqm ui_lists_bench   adds the cursor-to-preview path on the
//                                                       reference composition (bench/peers)
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise. The process comes up
// as the program's does (pixel tables, drawing workers, picture plug-ins beside the executable).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "app/EngineProcess.h"
#include "media/FrameRenderer.h"
#include "media/MediaDocumentServices.h"
#include "media/TimeoutQuery.h"
#include "model/Clipboard.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "platform/UserPrompt.h"
#include "ui/lists/FileListView.h"
#include "ui/preview/PreviewImageFile.h"
#include "ui/preview/PreviewView.h"
#include "ui/preview/StretchedImage.h"

namespace {

using namespace kelvane;

class QuietPrompt : public UserPrompt {
  public:
    void ShowError(const std::string& message) override {
        std::fprintf(stderr, "error: %s\n", message.c_str());
    }
    bool AskYesNo(const std::string&) override { return true; }
    bool AskOkCancel(const std::string&) override { return true; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::No; }
};

std::u16string U16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

// A document with its services, prompt, clipboard and INI file in a scratch folder.
struct World {
    QTemporaryDir dir;
    QuietPrompt prompt;
    MediaDocumentServices services{prompt};
    MemoryClipboard clipboard;
    UiDocument doc{services, prompt, clipboard};
    ProfileFile profile{U16(dir.filePath(QStringLiteral("kelvane.INI")))};

    std::u16string picture(int width, int height) {
        PixelImage image;
        image.Create(width, height, 32);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                image.Row32(y)[x] = uint32_t(x * 7 + y * 13) & 0xFFFFFF;
            }
        }
        const std::u16string path =
            U16(dir.filePath(QStringLiteral("p%1x%2.bmp").arg(width).arg(height)));
        writePreviewImage(path, image);
        return path;
    }
};

void FileListFill(benchmark::State& state) {
    World world;
    const std::vector<std::u16string> paths(size_t(state.range(0)), world.picture(8, 8));
    FileSelection selection;
    PaneDocument(world.doc).addDroppedFiles(paths, selection, {});
    FileListView view(world.doc, world.profile);
    view.resize(400, 300);
    const bool paint = state.range(1) != 0;
    for (auto _ : state) {
        // What every change of the table does: the rows again, then (shown) one paint.
        PaneDocument(world.doc).updateAllViews(nullptr, UpdateHint::FileList);
        if (paint) {
            benchmark::DoNotOptimize(view.grab());
        }
    }
    state.counters["rows"] = view.model()->rowCount();
}

PixelImage Frame1080() {
    PixelImage frame;
    frame.Create(1920, 1080, 32);
    for (int y = 0; y < 1080; ++y) {
        for (int x = 0; x < 1920; ++x) {
            frame.Row32(y)[x] = uint32_t(x * 3 + y * 5) & 0xFFFFFF;
        }
    }
    return frame;
}

// The stretch alone: the frame's pixels through a QImage onto a 640 x 360 pane.
void PreviewStretch(benchmark::State& state) {
    const PixelImage frame = Frame1080();
    QImage pane(640, 360, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&pane);
        drawStretched(painter, frame, pane.rect());
    }
}

// For scale: one plain copy of the pane's bytes.
void PaneCopy(benchmark::State& state) {
    QImage from(640, 360, QImage::Format_RGB32);
    from.fill(Qt::gray);
    QImage to(640, 360, QImage::Format_RGB32);
    for (auto _ : state) {
        std::memcpy(to.bits(), from.constBits(), size_t(from.sizeInBytes()));
        benchmark::ClobberMemory();
    }
}

// The whole paint of the pane showing a 1080p picture: background, request, stretch.
void PreviewPanePaint(benchmark::State& state) {
    World world;
    const std::vector<std::u16string> paths = {world.picture(1920, 1080)};
    FileSelection selection;
    PaneDocument(world.doc).addDroppedFiles(paths, selection, {});
    PreviewView view(world.doc, world.prompt, world.profile);
    view.resize(640, 360);
    QImage pane(640, 360, QImage::Format_RGB32);
    world.doc.Views().preview = PreviewRequest{true, PreviewKind::FileImage, 0, 0};
    for (auto _ : state) {
        view.render(&pane);
    }
}

// The reference composition: composing a frame alone, and the path from a cursor move to the
// painted pane (request, update of the views, paint with composition and stretch). Both step
// the cursor one frame at a time, so the movies decode in order in both.
struct Reference {
    World world;
    bool open = false;
};

Reference& TheReference() {
    static Reference reference;
    if (!reference.open) {
        const char* path = std::getenv("KELVANE_REFERENCE_PROJECT");
        reference.open = path != nullptr && reference.world.doc.OpenDocument(FromUtf8(path));
    }
    return reference;
}

void ComposeOnly(benchmark::State& state) {
    Reference& ref = TheReference();
    Project& project = PaneDocument(ref.world.doc).projectForRendering();
    PixelImage frame;
    frame.Create(int32_t(project.settings.width), int32_t(project.settings.height), 32);
    uint32_t cursor = 0;
    for (auto _ : state) {
        if (!RenderFrame(project, cursor, frame, true)) {
            state.SkipWithError("composition failed");
            break;
        }
        cursor = (cursor + 1) % project.settings.length;
    }
}

void CursorToPreview(benchmark::State& state) {
    Reference& ref = TheReference();
    PreviewView view(ref.world.doc, ref.world.prompt, ref.world.profile);
    view.resize(640, 360);
    view.show();
    QCoreApplication::processEvents();
    const uint32_t length = ref.world.doc.GetProject().settings.length;
    uint32_t cursor = 0;
    for (auto _ : state) {
        // What the timeline does when the cursor moves with its "Preview" on.
        ref.world.doc.Views().preview =
            PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, cursor};
        PaneDocument(ref.world.doc)
            .updateAllViews(nullptr, UpdateHint::Preview | UpdateHint::Timeline);
        view.repaint();
        cursor = (cursor + 1) % length;
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Both in one run, frame by frame in turn: even frames composed alone, odd frames through the
// whole cursor-to-preview path, so that each side decodes one new movie frame per step and a
// burst of load on the machine hits both alike.
void PairedReference(benchmark::State& state) {
    Reference& ref = TheReference();
    Project& project = PaneDocument(ref.world.doc).projectForRendering();
    PixelImage frame;
    frame.Create(int32_t(project.settings.width), int32_t(project.settings.height), 32);
    PreviewView view(ref.world.doc, ref.world.prompt, ref.world.profile);
    view.resize(640, 360);
    view.show();
    QCoreApplication::processEvents();
    std::vector<double> compose;
    std::vector<double> path;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        for (uint32_t cursor = 0; cursor < project.settings.length; ++cursor) {
            const Clock::time_point start = Clock::now();
            if (cursor % 2 == 0) {
                RenderFrame(project, cursor, frame, true);
            } else {
                ref.world.doc.Views().preview =
                    PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, cursor};
                PaneDocument(ref.world.doc)
                    .updateAllViews(nullptr, UpdateHint::Preview | UpdateHint::Timeline);
                view.repaint();
            }
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            (cursor % 2 == 0 ? compose : path).push_back(ms);
        }
    }
    const double c = Median(compose);
    const double p = Median(path);
    state.counters["compose_ms"] = c;
    state.counters["path_ms"] = p;
    state.counters["path_over_compose"] = c > 0 ? p / c : 0;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ProcessOptions options;
    options.iniBaseName = u"kelvane";
    options.readOnlySettings = true;
    EngineProcess process(std::move(options));
    process.Start();
    QuietPrompt timeouts;
    SetTimeoutQuery(&timeouts);

    benchmark::RegisterBenchmark("file_list/fill", FileListFill)
        ->Args({1024, 0})
        ->Args({1024, 1})
        ->ArgNames({"entries", "paint"})
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("preview/stretch_1080p_to_640x360", PreviewStretch)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("preview/copy_640x360", PaneCopy)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("preview/pane_paint_1080p_picture", PreviewPanePaint)
        ->Unit(benchmark::kMillisecond);
    if (std::getenv("KELVANE_REFERENCE_PROJECT") != nullptr) {
        benchmark::RegisterBenchmark("reference/compose_only", ComposeOnly)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(150)
            ->UseRealTime();
        benchmark::RegisterBenchmark("reference/cursor_to_preview", CursorToPreview)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(150)
            ->UseRealTime();
        benchmark::RegisterBenchmark("reference/paired_300_frames", PairedReference)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetTimeoutQuery(nullptr);
    process.Shutdown();
    return 0;
}

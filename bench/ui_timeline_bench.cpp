// The timeline pane at the model's limits: 256 tracks of 10,000 events in a 1920 x 1080 viewport on
// the offscreen platform. Repaints go through the widget's own paint path (repaint()), mouse and
// key events through the application, so Qt's own costs are in the numbers.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <thread>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>

#include "media/MediaSource.h"
#include "media/audio/SoundClip.h"
#include "media/audio/SoundPeaksCache.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/DocumentServices.h"
#include "platform/UserPrompt.h"
#include "ui/timeline/TimelineView.h"

namespace {

using namespace kelvane;

class NoServices : public DocumentServices {
  public:
    bool ReadProject(std::u16string_view, Project&) override { return false; }
    bool WriteProject(std::u16string_view, Project&) override { return false; }
    bool OpenFile(const Project&, FileEntry&, FileKind, std::u16string_view) override {
        return false;
    }
    bool MakeText(FileEntry&, std::u16string_view, uint32_t, const LogFont&) override {
        return false;
    }
};

class SilentPrompt : public UserPrompt {
  public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }
    bool AskOkCancel(const std::string&) override { return true; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::No; }
};

constexpr uint32_t kSpacing = 10;  // frames between events: 8 pixels at zoom 4

// A minute of sound that rises and falls, shared by every file slot: one set of peaks for all.
std::shared_ptr<const SoundClip> benchSound() {
    const int64_t samples = 60 * 48'000;
    std::vector<float> data(size_t(samples) * 2);
    for (int64_t s = 0; s < samples; ++s) {
        const double t = double(s) / 48'000;
        const float v = float(std::sin(t * 2764.6) * (0.5 + 0.5 * std::sin(t * 3.1)));
        data[size_t(s) * 2] = v;
        data[size_t(s) * 2 + 1] = -v;
    }
    return SoundClip::FromSamples(std::move(data));
}

// A document whose 256 tracks hold `perTrack` events each, every 10 frames with a per-track offset,
// one in seven selected, and a timeline over it whose viewport is 1920 x 1080. With `sound`
// every file slot holds the same sound, each event plays it from its start at speed 1, and the
// waves are drawn once its peaks are made.
struct Scene {
    NoServices services;
    SilentPrompt prompt;
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    std::unique_ptr<TimelineView> view;

    explicit Scene(uint32_t perTrack, bool sound = false) {
        Project& project = doc.ProjectForRendering();  // setting up, before the view exists
        if (sound) {
            project.settings.frameRate = 30.0;
            project.settings.frameDuration = 333'333;
        }
        for (uint32_t t = 0; t < kTrackCount; ++t) {
            Track& track = project.tracks[t];
            if (!track.Reset(perTrack)) {
                std::abort();
            }
            TrackEvent* events = track.Events();
            for (uint32_t i = 0; i < perTrack; ++i) {
                events[i].flags = kEventUsed | kEventParametric | (i % 7 == 0 ? kEventSelected : 0);
                events[i].start = i * kSpacing + t % kSpacing;
                events[i].fileId = int32_t(i % 1024);
                events[i].scale = 1.0f;
                events[i].step = sound ? project.settings.frameDuration : 0;
            }
        }
        project.settings.length = perTrack * kSpacing;
        if (sound) {
            const auto clip = benchSound();
            for (FileEntry& entry : project.files) {
                auto source = std::make_unique<MediaSource>();
                source->sound = clip;
                entry.loaded = std::move(source);
                entry.kind = FileKind::Movie;
            }
            while (!SoundPeaksCache::Shared().Find(clip)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        view = std::make_unique<TimelineView>(doc, nullptr);
        view->resize(1920, 1080);
        view->show();
        const QSize inner = view->viewport()->size();
        view->resize(1920 * 2 - inner.width(), 1080 * 2 - inner.height());
        QApplication::processEvents();
    }

    void setZoom(uint32_t zoom) {
        while (view->state().zoom < zoom) {
            view->runCommand(CommandId::ZoomOut);
        }
        while (view->state().zoom > zoom) {
            view->runCommand(CommandId::ZoomIn);
        }
        // The middle of the project, the middle of the tracks.
        QScrollBar* h = view->horizontalScrollBar();
        h->setValue(h->maximum() / 2);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
        QApplication::processEvents();
    }

    QWidget* viewport() { return view->viewport(); }

    // The window point over the middle of the first fully visible track row, at window x.
    QPoint onTrack(int x) {
        const int64_t docY = view->scrollY() + 48;
        const int row = int((docY - 48 + 15) / 16);
        return QPoint(x, int(48 + 16 * row + 8 - view->scrollY()));
    }
};

// The scenes' widgets must go before the application does.
std::map<std::pair<uint32_t, bool>, std::unique_ptr<Scene>>& scenes() {
    static std::map<std::pair<uint32_t, bool>, std::unique_ptr<Scene>> all;
    return all;
}

Scene& scene(uint32_t perTrack, bool sound = false) {
    auto& scenes = ::scenes();
    const auto key = std::pair(perTrack, sound);
    if (auto it = scenes.find(key); it != scenes.end()) {
        return *it->second;
    }
    scenes.clear();  // one large project in memory at a time
    auto& slot = scenes[key];
    slot = std::make_unique<Scene>(perTrack, sound);
    return *slot;
}

// Counts the paints of a widget, and the area they covered, so that a benchmark shows what it
// repainted.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* target) : target_(target) { target->installEventFilter(this); }
    ~PaintCounter() override { target_->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            const QRect r = static_cast<QPaintEvent*>(event)->rect();
            pixels += double(r.width()) * r.height();
        }
        return false;
    }
    int paints = 0;
    double pixels = 0;

  private:
    QWidget* target_;
};

void report(benchmark::State& state, const PaintCounter& counter) {
    state.counters["paints"] =
        benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
    state.counters["px"] = benchmark::Counter(counter.pixels, benchmark::Counter::kAvgIterations);
}

void send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, target->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A whole repaint of the viewport: args are events per track and zoom.
void BM_FullRepaint(benchmark::State& state) {
    Scene& s = scene(uint32_t(state.range(0)));
    s.setZoom(uint32_t(state.range(1)));
    PaintCounter counter(s.viewport());
    for (auto _ : state) {
        s.viewport()->repaint();
    }
    report(state, counter);
}

// The same with every event carrying the waveform of its sound.
void BM_FullRepaintWithWaves(benchmark::State& state) {
    Scene& s = scene(uint32_t(state.range(0)), true);
    s.setZoom(uint32_t(state.range(1)));
    PaintCounter counter(s.viewport());
    for (auto _ : state) {
        s.viewport()->repaint();
    }
    report(state, counter);
}

// The same after a page scroll each time, so that no row of waves kept from the paint before
// serves: what the first paint at a zoom or after an edit costs.
void BM_FullRepaintWithFreshWaves(benchmark::State& state) {
    Scene& s = scene(uint32_t(state.range(0)), true);
    s.setZoom(uint32_t(state.range(1)));
    QScrollBar* h = s.view->horizontalScrollBar();
    const int middle = h->value();
    PaintCounter counter(s.viewport());
    int page = 0;
    for (auto _ : state) {
        state.PauseTiming();
        h->setValue(middle + (page++ % 2) * h->pageStep());
        QApplication::processEvents();
        state.ResumeTiming();
        s.viewport()->repaint();
    }
    h->setValue(middle);
    report(state, counter);
}

// One pointer move while dragging events: the hit, the move and the repaint of the dragged row.
void BM_DragMove(benchmark::State& state) {
    Scene& s = scene(10'000);
    s.setZoom(4);
    const QPoint press = s.onTrack(960);
    send(s.viewport(), QEvent::MouseButtonPress, press, Qt::LeftButton);
    QApplication::processEvents();
    PaintCounter counter(s.viewport());
    int step = 0;
    for (auto _ : state) {
        send(s.viewport(), QEvent::MouseMove, press + QPoint(8 + 8 * (step++ % 50), 0),
             Qt::LeftButton);
        QApplication::processEvents();
    }
    report(state, counter);
    send(s.viewport(), QEvent::MouseButtonRelease, press, Qt::LeftButton);
    QApplication::processEvents();
}

// The drop that ends an event drag: the checkpoint of the whole project, the move, the re-sort of
// the track and the repaint. Few iterations: each checkpoint keeps a snapshot of the project.
void BM_DragDrop(benchmark::State& state) {
    Scene& s = scene(10'000);
    s.setZoom(4);
    const QPoint press = s.onTrack(960);
    int direction = 1;
    for (auto _ : state) {
        send(s.viewport(), QEvent::MouseButtonPress, press, Qt::LeftButton);
        send(s.viewport(), QEvent::MouseMove, press + QPoint(80 * direction, 0), Qt::LeftButton);
        send(s.viewport(), QEvent::MouseButtonRelease, press + QPoint(80 * direction, 0),
             Qt::LeftButton);
        QApplication::processEvents();
        direction = -direction;
    }
    s.doc.NewDocument();  // drops the snapshots
    scene(0);
}

// One cursor step by key with preview on: the preview request and the ruler's repaint. The
// composition of the frame itself happens in the preview pane and is measured with the renderer.
void BM_CursorStep(benchmark::State& state) {
    Scene& s = scene(10'000);
    s.setZoom(4);
    s.view->setFocus();
    QApplication::processEvents();
    PaintCounter counter(s.viewport());
    int step = 0;
    for (auto _ : state) {
        QKeyEvent key(QEvent::KeyPress, (step++ % 2) ? Qt::Key_Left : Qt::Key_Right,
                      Qt::NoModifier);
        QApplication::sendEvent(s.view.get(), &key);
        QApplication::processEvents();
    }
    report(state, counter);
    if (!s.doc.Views().preview.pending) {
        state.SkipWithError("no preview request was posted");
    }
}

BENCHMARK(BM_FullRepaint)
    ->ArgNames({"events", "zoom"})
    ->Args({1'000, 4})
    ->Args({10'000, 4})
    ->Args({10'000, 1024})
    ->Args({1'000, 1024})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRepaintWithWaves)
    ->ArgNames({"events", "zoom"})
    ->Args({10'000, 1})
    ->Args({10'000, 4})
    ->Args({10'000, 1024})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRepaintWithFreshWaves)
    ->ArgNames({"events", "zoom"})
    ->Args({10'000, 1024})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CursorStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragDrop)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    scenes().clear();
    benchmark::Shutdown();
    return 0;
}

// Scrubbing in the window: a click in the timeline's ruler until the preview pane has painted the
// frame, against decoding that frame alone in the same process, and stepping backwards.
//
//   ui_scrub_bench PROJECT.xqm MOVIE [CLICKS]
//
// PROJECT shows MOVIE whole on track 0 (make_reference_project --movie MOVIE PROJECT.xqm 300;
// bench/startup_bench.py makes both: a 1080p H.264 movie with a key frame every 250). CLICKS
// (default 50) frames of a fixed pseudo-random series, each once through the window (press and
// release in the ruler, then the event loop until the preview pane's paint has run) and once by a
// MovieReader of its own, opened before, in turn; medians and 90th percentiles of both and the
// ratio of the medians (target <= 1.2). Then backward steps with the Left key from frame 240,
// 100 of them, each until the pane has painted: decoded pictures per step at the default cache
// (target <= 2).
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "app/EngineProcess.h"
#include "media/MediaDocumentServices.h"
#include "media/MovieReader.h"
#include "media/TimeoutQuery.h"
#include "media/pipeline/MovieDecoder.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "platform/UserPrompt.h"
#include "ui/preview/PreviewView.h"
#include "ui/timeline/TimelineView.h"

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

class QuietPrompt : public UserPrompt {
  public:
    void ShowError(const std::string& message) override {
        std::fprintf(stderr, "error: %s\n", message.c_str());
    }
    bool AskYesNo(const std::string&) override { return true; }
    bool AskOkCancel(const std::string&) override { return true; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::No; }
};

// Counts the paints of the preview pane.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget* target) { target->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
    int paints = 0;
};

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Runs the event loop until the pane has painted once more (at most 10 s).
bool UntilPainted(const PaintCounter& counter, int before) {
    const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
    while (counter.paints == before && Clock::now() < limit) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return counter.paints != before;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void Mouse(QWidget* target, QEvent::Type type, QPoint at) {
    QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

int Run(const char* projectPath, const char* moviePath, int clicks) {
    QTemporaryDir dir;
    QuietPrompt prompt;
    MediaDocumentServices services{prompt};
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    ProfileFile profile{FromUtf8(dir.filePath(QStringLiteral("kelvane.INI")).toStdString())};
    if (!doc.OpenDocument(FromUtf8(projectPath))) {
        std::fprintf(stderr, "cannot open %s\n", projectPath);
        return 1;
    }
    const uint32_t length = doc.GetProject().settings.length;

    TimelineView timeline(doc, nullptr);
    timeline.resize(1920, 400);
    timeline.show();
    PreviewView preview(doc, prompt, profile);
    preview.resize(640, 360);
    preview.show();
    // 32 pixels per 8 frames: the whole movie in view.
    while (timeline.state().zoom < 8) {
        timeline.runCommand(CommandId::ZoomOut);
    }
    while (timeline.state().zoom > 8) {
        timeline.runCommand(CommandId::ZoomIn);
    }
    timeline.horizontalScrollBar()->setValue(0);
    QApplication::processEvents();
    PaintCounter painted(&preview);

    auto alone = std::make_unique<MovieReader>();
    PixelImage image;
    if (!alone->Open(FromUtf8(moviePath), 0) || !alone->GetFrame(0, image)) {
        std::fprintf(stderr, "cannot read %s\n", moviePath);
        return 1;
    }

    std::mt19937 random(26);
    std::uniform_int_distribution<uint32_t> pick(0, length - 1);
    std::vector<double> window, decode;
    QWidget* area = timeline.viewport();
    for (int i = 0; i < clicks; ++i) {
        const uint32_t frame = pick(random);
        const int x = int(frame * 32 / 8) + 2 - int(timeline.scrollX());
        const int before = painted.paints;
        const Clock::time_point a = Clock::now();
        Mouse(area, QEvent::MouseButtonPress, QPoint(x, 30));
        Mouse(area, QEvent::MouseButtonRelease, QPoint(x, 30));
        if (!UntilPainted(painted, before)) {
            std::fprintf(stderr, "the preview did not paint frame %u\n", frame);
            return 1;
        }
        const Clock::time_point b = Clock::now();
        const uint32_t shown = timeline.state().cursor;
        const Clock::time_point c = Clock::now();
        if (!alone->GetFrame(int32_t(shown), image)) {
            std::fprintf(stderr, "cannot decode frame %u\n", shown);
            return 1;
        }
        const Clock::time_point d = Clock::now();
        window.push_back(Ms(a, b));
        decode.push_back(Ms(c, d));
    }
    const double wm = Percentile(window, 0.5), dm = Percentile(decode, 0.5);
    std::printf("%d random frames of %u, ms        median      p90\n", clicks, length);
    std::printf("click in the ruler to painted preview  %8.1f %8.1f\n", wm,
                Percentile(window, 0.9));
    std::printf("decoding that frame alone              %8.1f %8.1f\n", dm,
                Percentile(decode, 0.9));
    std::printf("window / alone at the median: %.2f (target <= 1.2)\n", dm > 0 ? wm / dm : 0.0);

    // The second reader's cached pictures count against the budget all movies of the process
    // share: the window steps back on its own, as it would without the comparison.
    alone.reset();

    // Backward steps from frame 240, each until painted.
    const int x240 = int(240 * 32 / 8) + 2 - int(timeline.scrollX());
    int before = painted.paints;
    Mouse(area, QEvent::MouseButtonPress, QPoint(x240, 30));
    Mouse(area, QEvent::MouseButtonRelease, QPoint(x240, 30));
    UntilPainted(painted, before);
    timeline.setFocus();
    const uint64_t decoded0 = MovieDecoder::DecodedInProcess();
    constexpr int kSteps = 100;
    std::vector<double> steps;
    for (int i = 0; i < kSteps; ++i) {
        before = painted.paints;
        const Clock::time_point a = Clock::now();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QApplication::sendEvent(&timeline, &key);
        if (!UntilPainted(painted, before)) {
            std::fprintf(stderr, "the preview did not paint step %d\n", i);
            return 1;
        }
        steps.push_back(Ms(a, Clock::now()));
    }
    const double perStep = double(MovieDecoder::DecodedInProcess() - decoded0) / kSteps;
    std::printf(
        "backward steps from 240: %d, cursor now %u, %.2f decoded pictures per step "
        "(target <= 2), median %.1f ms per step\n",
        kSteps, timeline.state().cursor, perStep, Percentile(steps, 0.5));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: ui_scrub_bench PROJECT.xqm MOVIE [CLICKS]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    ProcessOptions options;
    options.iniBaseName = u"kelvane";
    options.readOnlySettings = true;
    EngineProcess process(std::move(options));
    process.Start();
    QuietPrompt timeouts;
    SetTimeoutQuery(&timeouts);
    const int status = Run(argv[1], argv[2], argc > 3 ? std::atoi(argv[3]) : 50);
    SetTimeoutQuery(nullptr);
    process.Shutdown();
    return status;
}

// ui_playback_bench: playback in the real window, as the user starts it with Space.
//
//   ui_playback_bench PROJECT.xqm [SECONDS=10] [WIDTHxHEIGHT]
//
// Opens the project in the program's own window (run it under X, e.g. Xvfb), makes the preview
// the active pane, sends Space, lets it play SECONDS seconds (a project shorter than that is
// selected whole on the timeline first, so that it loops), sends Space again and reports: frames
// shown and dropped, the time from Space to the first frame on show, the process's CPU time
// during the playback as a share of one core and of the machine, and the CPU used in the two
// seconds that begin a second after the stop (idle). With WIDTHxHEIGHT the project is first
// enlarged to that size, every event's position and scale with it, so that the same composition
// is drawn larger.

#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/EngineProcess.h"
#include "model/Document.h"
#include "render/EventGeometry.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PaneGrid.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shell/DocumentSession.h"
#include "ui/shell/Shell.h"

namespace {

using namespace kelvane;

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the event loop for `ms` milliseconds, or until `done` says so (asked every 50 ms). The
// loop sleeps between events, so that the bench's own CPU time stays out of the figures.
template <typename Done>
void runFor(int ms, Done done) {
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    end.start(ms);
    poll.start(50);
    loop.exec();
}

// The same composition at another size: every event scaled about the frame's origin.
void enlarge(Document& doc, uint32_t width, uint32_t height) {
    Project& project = doc.ProjectForRendering();
    const double factor = double(width) / project.settings.width;
    for (Track& track : project.tracks) {
        for (TrackEvent& e : track.EventSpan()) {
            if ((e.flags & kEventParametric) != 0) {
                e.scale = float(e.scale * factor);
                e.positionX = float(e.positionX * factor);
                e.positionY = float(e.positionY * factor);
                BuildParametricMatrices(e);
            }
        }
    }
    project.settings.width = width;
    project.settings.height = height;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_playback_bench PROJECT.xqm [SECONDS] [WIDTHxHEIGHT]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const double seconds = argc > 2 ? std::max(0.1, std::atof(argv[2])) : 10.0;
    ProcessOptions options;
    options.iniBaseName = u"kelvane";
    options.readOnlySettings = true;
    EngineProcess process(std::move(options));
    process.Start();
    int status = 0;
    {
        Shell shell(process.State());
        if (!shell.openStartupProject(path)) {
            return 1;
        }
        unsigned width = 0, height = 0;
        if (argc > 3 && std::sscanf(argv[3], "%ux%u", &width, &height) == 2) {
            enlarge(shell.document(), width, height);
        }
        const ProjectSettings& settings = shell.document().GetProject().settings;
        shell.show();
        MainWindow& window = shell.window();
        window.activatePane(0);
        runFor(1000, [] { return false; });  // the first paint and the start-up settle
        if (settings.length < seconds * settings.frameRate) {
            // Too short for the time asked: the whole project selected, so that it loops.
            QWidget* timeline = window.paneGrid()->pane(3);
            for (uint32_t i = 0; i < settings.length; ++i) {
                QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier);
                QCoreApplication::sendEvent(timeline, &right);
            }
        }

        PlaybackController& playback = shell.playback();
        QWidget* preview = window.paneGrid()->pane(0);
        const auto space = [preview] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
            QCoreApplication::sendEvent(preview, &press);
        };
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        space();
        runFor(int(seconds * 1000), [&] { return !playback.playing(); });
        if (playback.playing()) {
            space();
        }
        const double playedSeconds = wall.elapsed() / 1000.0;
        const double cpu = processCpuSeconds() - cpuBefore;
        // The preview draws the frame at the cursor once after the stop; idle is what follows.
        runFor(1000, [] { return false; });
        const double idleBefore = processCpuSeconds();
        runFor(2000, [] { return false; });
        const double idle = processCpuSeconds() - idleBefore;

        const PlaybackController::Statistics stats = playback.statistics();
        const uint64_t total = stats.framesShown + stats.framesDropped;
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        std::printf("project      %s (%u x %u, %.3f fps)\n", argv[1], settings.width,
                    settings.height, settings.frameRate);
        std::printf("played       %.2f s\n", playedSeconds);
        std::printf("shown        %llu frames\n", (unsigned long long)stats.framesShown);
        std::printf("dropped      %llu frames (%.2f %%)\n", (unsigned long long)stats.framesDropped,
                    total ? 100.0 * double(stats.framesDropped) / double(total) : 0.0);
        if (stats.firstFrameAfter) {
            std::printf("first frame  %.1f ms after Space\n",
                        std::chrono::duration<double, std::milli>(*stats.firstFrameAfter).count());
        } else {
            std::printf("first frame  never\n");
            status = 1;
        }
        std::printf("cpu playing  %.1f %% of a core, %.1f %% of %u\n", 100.0 * cpu / playedSeconds,
                    100.0 * cpu / playedSeconds / cores, cores);
        std::printf("cpu idle     %.2f %% of a core (2 s from 1 s after the stop)\n",
                    100.0 * idle / 2.0);
    }
    process.Shutdown();
    return status;
}

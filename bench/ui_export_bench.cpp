// ui_export_bench: the export of one project from the window's progress dialog ("現在の画像を表示
// する" off and on) against kelvane-render on the same project, in the same run.
//
//   ui_export_bench PROJECT.xqm KELVANE_RENDER [RUNS=3] [CODEC=uncompressed] [OUT_DIR=/tmp]
//
// PROJECT "tiny:N" makes (in OUT_DIR) a 64 x 48 project of N frames of background only, whose
// frames cost next to nothing, so that what the window adds per frame shows.
//
// Each round runs, in this order: kelvane-render as a separate process (whole command, wall
// clock, including its start-up and project load), the window's export with the preview off and
// with it on, and the same export without a window in this process (RunExportCommand, what
// kelvane-render runs once it has loaded the project). Medians of RUNS rounds and the ratios to
// both references are printed. Output files are removed after each export.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/EngineProcess.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ProjectFrameComposer.h"
#include "media/MediaDocumentServices.h"
#include "media/TimeoutQuery.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "platform/UserPrompt.h"
#include "ui/export/ExportCommand.h"

namespace {

using namespace kelvane;

// Nobody answers: errors are printed, questions answered No.
class PrintingPrompt : public UserPrompt {
  public:
    void ShowError(const std::string& message) override {
        std::fprintf(stderr, "error: %s\n", message.c_str());
    }
    bool AskYesNo(const std::string& message) override {
        std::fprintf(stderr, "question (No): %s\n", message.c_str());
        return false;
    }
    bool AskOkCancel(const std::string& message) override { return AskYesNo(message); }
    PromptAnswer AskYesNoCancel(const std::string& message) override {
        std::fprintf(stderr, "question (Cancel): %s\n", message.c_str());
        return PromptAnswer::Cancel;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr, "usage: ui_export_bench PROJECT.xqm KELVANE_RENDER [RUNS] [CODEC] [OUT_DIR]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QString project = QString::fromLocal8Bit(argv[1]);
    const QString render = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::string codec = argc > 4 ? argv[4] : std::string(kUncompressedName);
    const QString outDir = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QStringLiteral("/tmp");
    const QString out = outDir + QStringLiteral("/ui_export_bench.avi");

    ProcessOptions processOptions;
    processOptions.iniBaseName = u"kelvane";
    processOptions.readOnlySettings = true;
    EngineProcess process(std::move(processOptions));
    process.Start();
    PrintingPrompt prompt;
    SetTimeoutQuery(&prompt);
    MediaDocumentServices services(prompt);
    MemoryClipboard clipboard;
    Document doc(services, prompt, clipboard);
    if (project.startsWith(QStringLiteral("tiny:"))) {
        ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.width = 64;
        form.height = 48;
        form.length = project.mid(5).toStdU16String();
        doc.Settings().Apply(form);
        project = outDir + QStringLiteral("/ui_export_bench_tiny.xqm");
        if (!doc.SaveDocument(project.toStdU16String())) {
            return 1;
        }
    }
    if (!doc.OpenDocument(project.toStdU16String())) {
        return 1;
    }
    const uint32_t frames = doc.GetProject().settings.length;

    std::vector<double> renderSeconds, offSeconds, onSeconds, headlessSeconds;
    auto timed = [&](const auto& run) {
        QFile::remove(out);
        QElapsedTimer timer;
        timer.start();
        const bool ok = run();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        QFile::remove(out);
        if (!ok) {
            std::fprintf(stderr, "an export failed\n");
            std::exit(1);
        }
        return seconds;
    };
    for (int round = 0; round < runs; ++round) {
        renderSeconds.push_back(timed([&] {
            QStringList args = {project, QStringLiteral("-o"), out};
            if (codec != kUncompressedName) {
                args << QStringLiteral("--codec") << QString::fromStdString(codec);
            }
            return QProcess::execute(render, args) == 0;
        }));
        for (bool preview : {false, true}) {
            (preview ? onSeconds : offSeconds).push_back(timed([&] {
                NamedCompressorChooser chooser{codec};
                return exportAviTo(nullptr, doc, out, chooser, preview);
            }));
        }
        headlessSeconds.push_back(timed([&] {
            Project& p = doc.ProjectForRendering();
            ProjectFrameComposer composer(p);
            NamedCompressorChooser chooser{codec};
            ExportJob job;
            return RunExportCommand(job, ExportSettingsOf(p), composer,
                                    QFile::encodeName(out).toStdString(), chooser, prompt, nullptr,
                                    {});
        }));
        std::fprintf(stderr,
                     "round %d: render %.2f s, window off %.2f s, on %.2f s, headless %.2f s\n",
                     round + 1, renderSeconds.back(), offSeconds.back(), onSeconds.back(),
                     headlessSeconds.back());
    }
    const double r = median(renderSeconds);
    const double off = median(offSeconds);
    const double on = median(onSeconds);
    const double headless = median(headlessSeconds);
    std::printf("frames %u, codec %s, %d rounds (medians, wall seconds)\n", frames, codec.c_str(),
                runs);
    std::printf("| export | wall s | fps | / kelvane-render | / headless in-process |\n");
    std::printf("|---|---:|---:|---:|---:|\n");
    auto row = [&](const char* name, double s) {
        std::printf("| %s | %.2f | %.1f | %.3f | %.3f |\n", name, s, frames / s, s / r,
                    s / headless);
    };
    row("kelvane-render (whole command)", r);
    row("headless in-process (RunExportCommand)", headless);
    row("window, preview off", off);
    row("window, preview on", on);
    SetTimeoutQuery(nullptr);
    process.Shutdown();
    return 0;
}

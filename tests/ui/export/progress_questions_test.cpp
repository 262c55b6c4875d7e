#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <future>
#include <thread>

#include "export/CompressorChooser.h"
#include "export/ExportJob.h"
#include "media/TimeoutQuery.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/export/ExportProgressDialog.h"

using namespace kelvane;

namespace {

// Frames of background only; `onFrame` runs inside the composition of each frame, where a movie
// would wait for its picture.
class ScriptedComposer : public FrameComposer {
  public:
    void ResetForExport() override {}
    bool Compose(uint32_t frame, PixelImage&) override {
        if (onFrame) {
            onFrame(frame);
        }
        return true;
    }
    std::function<void(uint32_t)> onFrame;
};

struct Run {
    QTemporaryDir dir;
    ExportSettings settings;
    ScriptedComposer composer;
    ExportJob job;

    explicit Run(uint32_t length) {
        settings.width = 32;
        settings.height = 16;
        settings.length = length;
        NamedCompressorChooser chooser{std::string(kUncompressedName)};
        job.writer.ChooseCompressor(chooser);
        QVERIFY(job.Setup(QFile::encodeName(dir.filePath(QStringLiteral("q.avi"))).toStdString(),
                          settings, composer));
    }
};

}  // namespace

class ProgressQuestionsTest : public QObject {
    Q_OBJECT
  private slots:
    void abortDuringAQuestionWaitsForTheFrameToEnd() {
        Run run(100);
        ExportProgressDialog dialog(nullptr, run.job, run.settings, run.composer);
        run.composer.onFrame = [&](uint32_t frame) {
            if (frame != 3) {
                return;
            }
            // The user presses "中断" while the question is up, then answers it.
            dialogs::answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
                dialog.abortButton()->click();
                QVERIFY(dialog.isVisible());  // not closed under the frame being made
                static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
            });
            QVERIFY(!AskTimeoutContinue());
        };
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(run.job.FramesWritten(), 4u);  // frame 3 was finished, then the run stopped
        QVERIFY(run.job.stopped);
        QVERIFY(!run.job.writer.StreamOpen());
    }

    void questionsFromAnotherThreadReachTheDialog() {
        Run run(1000000);
        ExportProgressDialog dialog(nullptr, run.job, run.settings, run.composer);
        std::future<bool> unchecked;
        std::future<bool> checked;
        QString question;
        connect(&dialog, &ExportProgressDialog::frameWritten, &dialog, [&](uint32_t n) {
            if (n == 2) {
                dialogs::answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
                    question = dialogs::messageText(box);
                    static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
                });
                // The reader's thread asks; the frames go on while the question is carried over.
                unchecked = std::async(std::launch::async, [] { return AskTimeoutContinue(); });
            }
            if (n > 2 && unchecked.valid() &&
                unchecked.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
                !checked.valid()) {
                // Checked: answered "give up" at once on the asking thread, nobody is asked.
                dialog.timeoutCheck()->click();
                checked = std::async(std::launch::async, [] { return AskTimeoutContinue(); });
                checked.wait();
                dialog.abortButton()->click();
            }
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(unchecked.get());
        QCOMPARE(question, QString::fromUtf8(kTimeoutQuestion));
        QVERIFY(!checked.get());
    }
};

QTEST_MAIN(ProgressQuestionsTest)
#include "progress_questions_test.moc"

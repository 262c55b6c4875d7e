#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "export/Compressor.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ProjectFrameComposer.h"
#include "media/MediaDocumentServices.h"
#include "media/TimeoutQuery.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "platform/ProfileFile.h"
#include "support/ScriptedPrompt.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/export/CompressorDialog.h"
#include "ui/export/ExportCommand.h"
#include "ui/export/ExportProgressDialog.h"

using namespace kelvane;

namespace {

const QString kProgressTitle = QStringLiteral("AVIファイル作成状況");

// A 64 x 48 project of 12 frames: a gradient picture sliding across a grey background.
struct ExportFixture {
    QTemporaryDir dir;
    kelvane::testing::ScriptedPrompt prompt{true};
    MediaDocumentServices services{prompt};
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};

    ExportFixture() {
        QImage picture(24, 16, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                picture.setPixel(x, y, qRgb(x * 10, y * 15, 200 - x * 5));
            }
        }
        const QString bmp = dir.filePath(QStringLiteral("slide.bmp"));
        picture.save(bmp, "BMP");
        FileSelection selection;
        const std::vector<std::u16string> paths = {bmp.toStdU16String()};
        QVERIFY(doc.Files().AddDroppedFiles(paths, selection));
        ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.width = 64;
        form.height = 48;
        form.length = u"12";
        form.red = form.green = form.blue = 0x40;
        QVERIFY(doc.Settings().Apply(form));
        for (uint32_t start : {0u, 11u}) {
            TrackEvent e{};
            e.flags = kEventUsed | kEventParametric | kEventInterpolate;
            e.start = start;
            e.right = 24;
            e.bottom = 16;
            e.scale = 1;
            e.positionX = start == 0 ? 0.0f : 40.0f;
            e.positionY = start == 0 ? 0.0f : 30.0f;
            QVERIFY(doc.Timeline().Insert(0, e, false));
        }
    }

    // The same export without a window, as the command-line tool runs it.
    QByteArray reference(const std::string& codec, uint32_t length) {
        const QString path = dir.filePath(QStringLiteral("reference.avi"));
        ExportSettings settings = ExportSettingsOf(doc.GetProject());
        settings.length = length;
        ProjectFrameComposer composer(doc.ProjectForRendering());
        NamedCompressorChooser chooser(codec);
        ExportJob job;
        RunExportCommand(job, settings, composer, QFile::encodeName(path).toStdString(), chooser,
                         prompt, nullptr, {});
        return readAll(path);
    }

    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

std::string losslessCompressor() {
    for (const CompressorInfo& info : AvailableCompressors()) {
        if (info.lossless && !info.encoder.empty()) {
            return info.name;
        }
    }
    return {};
}

// The progress dialog as soon as it is open, with its frames counted.
void onProgressDialog(std::function<void(ExportProgressDialog*)> action) {
    dialogs::answerModal(kProgressTitle, [action](QWidget* window) {
        action(static_cast<ExportProgressDialog*>(window));
    });
}

}  // namespace

class ExportDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void theWindowWritesTheSameFileAsTheCommandLine() {
        ExportFixture f;
        for (const std::string& codec : {std::string(kUncompressedName), losslessCompressor()}) {
            if (codec.empty()) {
                continue;
            }
            for (bool preview : {false, true}) {
                const QString path = f.dir.filePath(QStringLiteral("window.avi"));
                NamedCompressorChooser chooser(codec);
                QVERIFY(exportAviTo(nullptr, f.doc, path, chooser, preview));
                const QByteArray written = ExportFixture::readAll(path);
                QVERIFY(written.size() > 64 * 48 * 4 * 12 / (codec == kUncompressedName ? 1 : 50));
                QVERIFY2(written == f.reference(codec, 12), codec.c_str());
            }
        }
        QVERIFY(f.prompt.errors.empty());
    }

    void abortAfterFiveFramesLeavesAValidFileOfFive() {
        ExportFixture f;
        QString progressAtStart;
        QString message;
        onProgressDialog([&](ExportProgressDialog* dialog) {
            progressAtStart = dialog->progressText();
            connect(dialog, &ExportProgressDialog::frameWritten, dialog, [dialog](uint32_t n) {
                if (n == 5) {
                    dialog->abortButton()->click();
                }
            });
        });
        dialogs::answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
            message = dialogs::messageText(box);
            static_cast<QDialog*>(box)->accept();
        });
        const QString path = f.dir.filePath(QStringLiteral("aborted.avi"));
        NamedCompressorChooser chooser{std::string(kUncompressedName)};
        QVERIFY(!exportAviTo(nullptr, f.doc, path, chooser));
        QCOMPARE(message, QStringLiteral("エラーまたはキャンセル操作によって中断されました。"));
        QVERIFY(progressAtStart.startsWith(QStringLiteral("現在位置 00:00.000")));
        QVERIFY(progressAtStart.contains(QStringLiteral("進捗度 0%")));
        QVERIFY(progressAtStart.endsWith(QStringLiteral("推定残り時間 00:00.000")));
        QCOMPARE(ExportFixture::readAll(path), f.reference(std::string(kUncompressedName), 5));
    }

    void checkBoxesSteerTheRunAndTheTimeoutAnswer() {
        ExportFixture f;
        bool askedWhileChecked = true;
        bool answeredWhileClear = false;
        QString question;
        bool targetWasDialog = false;
        onProgressDialog([&](ExportProgressDialog* dialog) {
            QVERIFY(dialog->showImageCheck()->isChecked());
            QVERIFY(!dialog->timeoutCheck()->isChecked());
            QVERIFY(!dialog->abortCheck()->isChecked());
            // Clear: the user is asked, and says go on waiting.
            dialogs::answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
                question = dialogs::messageText(box);
                static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
            });
            answeredWhileClear = AskTimeoutContinue();
            dialog->abortCheck()->click();
            dialog->timeoutCheck()->click();
            targetWasDialog = TimeoutQuery() != nullptr;
            // Checked: the reader's question is answered "give up" without asking anybody.
            askedWhileChecked = AskTimeoutContinue();
        });
        UserPrompt* before = TimeoutQuery();
        const QString path = f.dir.filePath(QStringLiteral("flags.avi"));
        NamedCompressorChooser chooser{std::string(kUncompressedName)};
        QVERIFY(exportAviTo(nullptr, f.doc, path, chooser));
        QVERIFY(targetWasDialog);
        QVERIFY(!askedWhileChecked);
        QVERIFY(answeredWhileClear);
        QCOMPARE(question, QString::fromUtf8(kTimeoutQuestion));
        QCOMPARE(TimeoutQuery(), before);  // given back when the dialog closes
        // The abort choice is kept for the project's next export.
        bool abortAtNextStart = false;
        onProgressDialog([&](ExportProgressDialog* dialog) {
            abortAtNextStart = dialog->abortCheck()->isChecked();
        });
        NamedCompressorChooser again{std::string(kUncompressedName)};
        QVERIFY(exportAviTo(nullptr, f.doc, path, again));
        QVERIFY(abortAtNextStart);
    }

    void cannotOpenTheFileIsReportedWithoutAProgressDialog() {
        ExportFixture f;
        QString message;
        dialogs::answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
            message = dialogs::messageText(box);
            static_cast<QDialog*>(box)->accept();
        });
        NamedCompressorChooser chooser{std::string(kUncompressedName)};
        const QString path = f.dir.filePath(QStringLiteral("no/such/dir/x.avi"));
        QVERIFY(!exportAviTo(nullptr, f.doc, path, chooser));
        // The second line says which file and why: here a folder that is not there.
        QCOMPARE(
            message,
            QStringLiteral("ファイルが開けません。\n%1: フォルダーが見つかりません。").arg(path));
    }

    void previewShowsTheFrameTopRowFirst() {
        PixelImage image;
        QVERIFY(image.Create(4, 2, 32));
        image.Fill(0x00000000);
        reinterpret_cast<uint32_t*>(image.Row(0))[0] = 0x00FF0000;  // top left red
        const QImage shown = previewImageOf(image, QSize(320, 240));
        QCOMPARE(shown.size(), QSize(320, 240));
        QCOMPARE(shown.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
        QCOMPARE(shown.pixel(0, 239) & 0xFFFFFF, 0u);
    }

    void compressorChoiceIsRememberedInTheIniFile() {
        QTemporaryDir dir;
        ProfileFile profile(dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        QCOMPARE(loadCompressorSelection(profile).name, std::string(kUncompressedName));
        const auto& offered = AvailableCompressors();
        const CompressorInfo* lossy = nullptr;
        for (const CompressorInfo& info : offered) {
            if (compressorHasQuality(info) && lossy == nullptr) {
                lossy = &info;
            }
        }
        if (lossy == nullptr) {
            QSKIP("no lossy encoder in this FFmpeg build");
        }
        QStringList listed;
        bool qualityEnabledForUncompressed = true;
        dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [&](QWidget* dialog) {
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("圧縮プログラム"));
            auto* quality = dialog->findChild<QSlider*>(QStringLiteral("圧縮の品質"));
            for (int i = 0; i < combo->count(); ++i) {
                listed << combo->itemText(i);
            }
            qualityEnabledForUncompressed = quality->isEnabled();
            combo->setCurrentText(QString::fromStdString(lossy->description));
            quality->setValue(40);
            static_cast<QDialog*>(dialog)->accept();
        });
        DialogCompressorChooser chooser(nullptr, profile);
        std::string chosen;
        QVERIFY(chooser.Choose(offered, chosen));
        QCOMPARE(chosen, lossy->name);
        QCOMPARE(chooser.Quality(), 40);
        QCOMPARE(listed.first(), QStringLiteral("全フレーム (非圧縮)"));
        QCOMPARE(listed.size(), int(offered.size()));
        QVERIFY(!qualityEnabledForUncompressed);

        // The next export starts from the remembered choice; cancel chooses nothing.
        QString initial;
        int initialQuality = 0;
        dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [&](QWidget* dialog) {
            initial =
                dialog->findChild<QComboBox*>(QStringLiteral("圧縮プログラム"))->currentText();
            initialQuality = dialog->findChild<QSlider*>(QStringLiteral("圧縮の品質"))->value();
            static_cast<QDialog*>(dialog)->reject();
        });
        QVERIFY(!chooser.Choose(offered, chosen));
        QCOMPARE(initial, QString::fromStdString(lossy->description));
        QCOMPARE(initialQuality, 40);
    }
};

QTEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"

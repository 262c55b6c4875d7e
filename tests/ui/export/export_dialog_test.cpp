#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "export/Compressor.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/OutputContainer.h"
#include "export/ProjectFrameComposer.h"
#include "media/MediaDocumentServices.h"
#include "media/TimeoutQuery.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "platform/ProfileFile.h"
#include "support/ScriptedPrompt.h"
#include "support/ShellOutput.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/export/CompressorDialog.h"
#include "ui/export/ExportCommand.h"
#include "ui/export/ExportProgressDialog.h"
#include "ui/preview/PreviewView.h"
#include "ui/timeline/TimelineGeometry.h"
#include "ui/timeline/TimelineView.h"

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
    QByteArray reference(const std::string& codec, uint32_t length, uint32_t first = 0) {
        const QString path = dir.filePath(QStringLiteral("reference.avi"));
        ExportSettings settings = ExportSettingsOf(doc.GetProject());
        settings.first = first;
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

// For a person to look at: build/screenshots/<name>.png.
void shoot(QWidget* widget, const QString& name) {
    const QString folder =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    widget->grab().save(folder + u'/' + name + QStringLiteral(".png"));
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

    // "中断" is no error: the box says so with the information icon and names the file left.
    void abortAfterFiveFramesLeavesAValidFileOfFive() {
        ExportFixture f;
        QMainWindow window;
        QString progressAtStart;
        QString message;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        onProgressDialog([&](ExportProgressDialog* dialog) {
            progressAtStart = dialog->progressText();
            connect(dialog, &ExportProgressDialog::frameWritten, dialog, [dialog](uint32_t n) {
                if (n == 5) {
                    dialog->abortButton()->click();
                }
            });
        });
        dialogs::answerModal(QStringLiteral("Kelvane"), [&](QWidget* box) {
            message = dialogs::messageText(box);
            icon = static_cast<QMessageBox*>(box)->icon();
            static_cast<QDialog*>(box)->accept();
        });
        const QString path = f.dir.filePath(QStringLiteral("aborted.avi"));
        NamedCompressorChooser chooser{std::string(kUncompressedName)};
        QVERIFY(!exportAviTo(&window, f.doc, path, chooser));
        const QString partial = QStringLiteral("途中までのファイル: %1 (5 フレーム)").arg(path);
        QCOMPARE(message,
                 QStringLiteral("エラーまたはキャンセル操作によって中断されました。\n") + partial);
        QCOMPARE(icon, QMessageBox::Information);
        QVERIFY(window.statusBar()->currentMessage().endsWith(partial));
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

    // The save dialog offers every kind of file, starts with the project's name and the kind
    // chosen last, and another filter changes the extension of the name.
    void theSaveDialogStartsWithTheProjectNameAndTheLastKind() {
        ExportFixture f;
        QVERIFY(
            f.doc.SaveDocument(f.dir.filePath(QStringLiteral("myproject.xqm")).toStdU16String()));
        ProfileFile profile(f.dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("out")));
        QStringList filters;
        QString first;
        QString afterFilter;
        dialogs::answerModal(QStringLiteral("名前を付けて保存"), [&](QWidget* window) {
            auto* dialog = static_cast<QFileDialog*>(window);
            filters = dialog->nameFilters();
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            first = name->text();
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            types->setCurrentIndex(1);
            emit types->activated(1);  // as a click on the MP4 filter
            afterFilter = name->text();
            shoot(dialog, QStringLiteral("export_save_dialog"));
            dialog->setDirectory(f.dir.filePath(QStringLiteral("out")));
            name->setText(afterFilter);
            static_cast<QDialog*>(dialog)->accept();
        });
        const QString path = askExportPath(nullptr, f.doc, profile);
        QCOMPARE(filters, QStringList({QStringLiteral("AVI ファイル (*.avi)"),
                                       QStringLiteral("MP4 ファイル (*.mp4)"),
                                       QStringLiteral("QuickTime ファイル (*.mov)"),
                                       QStringLiteral("Matroska ファイル (*.mkv)"),
                                       QStringLiteral("WebM ファイル (*.webm)")}));
        QCOMPARE(first, QStringLiteral("myproject.avi"));
        QCOMPARE(afterFilter, QStringLiteral("myproject.mp4"));
        QCOMPARE(path, f.dir.filePath(QStringLiteral("out/myproject.mp4")));

        // The next export starts in the folder of this one.
        QString again;
        QString folder;
        dialogs::answerModal(QStringLiteral("名前を付けて保存"), [&](QWidget* window) {
            again = window->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            folder = static_cast<QFileDialog*>(window)->directory().absolutePath();
            static_cast<QDialog*>(window)->reject();
        });
        QVERIFY(askExportPath(nullptr, f.doc, profile).isEmpty());
        QCOMPARE(again, QStringLiteral("myproject.mp4"));
        QCOMPARE(folder, QDir(f.dir.filePath(QStringLiteral("out"))).absolutePath());
    }

    // "ビデオの圧縮" lists the kind's codecs, its default first, enables the quality only where
    // the codec has one and remembers the choice per kind.
    void eachKindOfFileOffersAndRemembersItsOwnCodecs() {
        QTemporaryDir dir;
        ProfileFile profile(dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        const OutputContainer* mkv = ContainerOfPath("x.mkv");
        const std::vector<CompressorInfo> offered = CompressorsFor(*mkv);
        QStringList listed;
        bool qualityForFfv1 = true;
        bool qualityForH264 = false;
        dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [&](QWidget* dialog) {
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("圧縮プログラム"));
            auto* quality = dialog->findChild<QSlider*>(QStringLiteral("圧縮の品質"));
            for (int i = 0; i < combo->count(); ++i) {
                listed << combo->itemText(i);
            }
            qualityForFfv1 = quality->isEnabled();
            combo->setCurrentIndex(1);
            qualityForH264 = quality->isEnabled();
            quality->setValue(60);
            shoot(dialog, QStringLiteral("compressor_dialog_mkv"));
            static_cast<QDialog*>(dialog)->accept();
        });
        DialogCompressorChooser chooser(nullptr, profile, mkv);
        std::string chosen;
        QVERIFY(chooser.Choose(offered, chosen));
        QCOMPARE(listed.size(), int(offered.size()));
        QCOMPARE(listed.first(), QStringLiteral("FFV1 (可逆圧縮)"));
        QVERIFY(!qualityForFfv1);
        QVERIFY(qualityForH264);
        QCOMPARE(chosen, std::string("h264"));
        QCOMPARE(chooser.Quality(), 60);
        QCOMPARE(loadCompressorSelection(profile, mkv).name, std::string("h264"));
        QCOMPARE(loadCompressorSelection(profile, mkv).quality, 60);
        // The other kinds keep their own choice, or their default.
        QCOMPARE(loadCompressorSelection(profile).name, std::string(kUncompressedName));
        QCOMPARE(loadCompressorSelection(profile, ContainerOfPath("x.mov")).name,
                 std::string("prores"));
        QCOMPARE(loadCompressorSelection(profile, ContainerOfPath("x.webm")).name,
                 std::string("vp9"));
    }

    // "音声の圧縮形式" lists what the kind of file carries beside the chosen compressor, its
    // default first and "音声なし" last; the default follows the compressor until another codec
    // is chosen, and the choice is remembered per kind.
    void eachKindOfFileOffersAndRemembersItsAudioCodec() {
        QTemporaryDir dir;
        ProfileFile profile(dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        const OutputContainer* mov = ContainerOfPath("x.mov");
        const std::vector<CompressorInfo> offered = CompressorsFor(*mov);
        auto items = [](QComboBox* combo) {
            QStringList listed;
            for (int i = 0; i < combo->count(); ++i) {
                listed << combo->itemText(i);
            }
            return listed;
        };
        const QString pcm = QStringLiteral("音声 PCM 16 ビット");
        const QString aac = QStringLiteral("音声 AAC (FFmpeg, 192 kb/s)");
        const QString none = QStringLiteral("音声なし");
        QStringList withProres;
        QStringList withH264;
        QString followed;
        QString kept;
        dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [&](QWidget* dialog) {
            auto* video = dialog->findChild<QComboBox*>(QStringLiteral("圧縮プログラム"));
            auto* sound = dialog->findChild<QComboBox*>(QStringLiteral("音声の圧縮形式"));
            withProres = items(sound);
            video->setCurrentIndex(1);  // H.264
            withH264 = items(sound);
            followed = sound->currentText();
            sound->setCurrentText(pcm);  // chosen: stays when the compressor changes
            video->setCurrentIndex(0);
            kept = sound->currentText();
            shoot(dialog, QStringLiteral("compressor_dialog_mov"));
            static_cast<QDialog*>(dialog)->accept();
        });
        DialogCompressorChooser chooser(nullptr, profile, mov);
        std::string chosen;
        QVERIFY(chooser.Choose(offered, chosen));
        QCOMPARE(withProres, QStringList({pcm, aac, none}));
        QCOMPARE(withH264, QStringList({aac, pcm, none}));
        QCOMPARE(followed, aac);
        QCOMPARE(kept, pcm);
        QCOMPARE(chooser.SoundCodecName(), std::string("pcm"));
        QVERIFY(!chooser.NoSound());
        QCOMPARE(loadCompressorSelection(profile, mov).sound, std::string("pcm"));

        // "音声なし" is remembered for this kind only; AVI offers PCM and none.
        QStringList avi;
        dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [&](QWidget* dialog) {
            auto* sound = dialog->findChild<QComboBox*>(QStringLiteral("音声の圧縮形式"));
            QCOMPARE(sound->accessibleName(), QStringLiteral("音声の圧縮形式"));
            avi = items(sound);
            sound->setCurrentText(none);
            static_cast<QDialog*>(dialog)->accept();
        });
        DialogCompressorChooser aviChooser(nullptr, profile);
        QVERIFY(aviChooser.Choose(AvailableCompressors(), chosen));
        QCOMPARE(avi, QStringList({pcm, none}));
        QVERIFY(aviChooser.NoSound());
        QVERIFY(loadCompressorSelection(profile).noSound);
        QVERIFY(!loadCompressorSelection(profile, mov).noSound);
        QCOMPARE(loadCompressorSelection(profile, ContainerOfPath("x.mkv")).sound, std::string());

        // The next export of that kind starts from it.
        QString initial;
        dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [&](QWidget* dialog) {
            initial =
                dialog->findChild<QComboBox*>(QStringLiteral("音声の圧縮形式"))->currentText();
            static_cast<QDialog*>(dialog)->reject();
        });
        QVERIFY(!aviChooser.Choose(AvailableCompressors(), chosen));
        QCOMPARE(initial, none);
    }

    // A project with sound exported from the window: with the kind's default the file has its
    // audio stream, with "音声なし" none.
    void noSoundLeavesTheAudioStreamOut() {
        ExportFixture f;
        const QString wav = f.dir.filePath(QStringLiteral("tone.wav"));
        const std::string tone = "ffmpeg -nostdin -v error -y -f lavfi -i sine=d=1 " +
                                 kelvane::testing::Quoted(QFile::encodeName(wav).toStdString());
        QVERIFY(std::system(tone.c_str()) == 0);
        FileSelection selection;
        selection.cursor = 1;
        const std::vector<std::u16string> paths = {wav.toStdU16String()};
        QVERIFY(f.doc.Files().AddDroppedFiles(paths, selection));
        QVERIFY(f.doc.Timeline().DropFile(1, 1, 0, false));
        ProfileFile profile(f.dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        auto streams = [&](const QString& file, const QString& soundChoice) {
            dialogs::answerModal(QStringLiteral("ビデオの圧縮"), [soundChoice](QWidget* dialog) {
                dialog->findChild<QComboBox*>(QStringLiteral("音声の圧縮形式"))
                    ->setCurrentText(soundChoice);
                static_cast<QDialog*>(dialog)->accept();
            });
            const QString path = f.dir.filePath(file);
            DialogCompressorChooser chooser(nullptr, profile, ContainerOfPath("x.mkv"));
            if (!exportAviTo(nullptr, f.doc, path, chooser, false)) {
                return std::string("export failed");
            }
            return kelvane::testing::Output(
                "ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 " +
                kelvane::testing::Quoted(QFile::encodeName(path).toStdString()));
        };
        QCOMPARE(streams(QStringLiteral("sound.mkv"), QStringLiteral("音声 FLAC")),
                 std::string("ffv1,video\nflac,audio\n"));
        QCOMPARE(streams(QStringLiteral("silent.mkv"), QStringLiteral("音声なし")),
                 std::string("ffv1,video\n"));
    }

    // "選択範囲のみ" is offered while the timeline has a selection, and writes the frames of the
    // selection: the same file as "--frames" of those frames.
    void theSelectionAloneIsExportedLikeARangeOfFrames() {
        ExportFixture f;
        ProfileFile profile(f.dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        QMainWindow window;
        auto* timeline = new TimelineView(f.doc, nullptr, &window);
        window.setCentralWidget(timeline);
        window.resize(600, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!timelineSelection(&window, f.doc));
        // A drag in the ruler from frame 3 to frame 8 selects frames 3 to 7.
        const int y = timeline::kLabelBandBottom + 4;
        QTest::mousePress(timeline->viewport(), Qt::LeftButton, {},
                          QPoint(int(timeline::frameToX(3, timeline->state().zoom)) + 1, y));
        QTest::mouseMove(timeline->viewport(),
                         QPoint(int(timeline::frameToX(8, timeline->state().zoom)) + 1, y));
        QTest::mouseRelease(timeline->viewport(), Qt::LeftButton, {},
                            QPoint(int(timeline::frameToX(8, timeline->state().zoom)) + 1, y));
        const std::optional<ExportRange> selection = timelineSelection(&window, f.doc);
        QVERIFY(selection.has_value());
        QCOMPARE(selection->first, 3u);
        QCOMPARE(selection->length, 5u);

        // The save dialog offers the choice only where there is a selection.
        bool offered = false;
        dialogs::answerModal(QStringLiteral("名前を付けて保存"), [&](QWidget* dialog) {
            auto* check = dialog->findChild<QCheckBox*>(QStringLiteral("選択範囲のみ"));
            offered = check != nullptr && check->isVisible();
            if (check != nullptr) {
                check->setChecked(true);
            }
            shoot(dialog, QStringLiteral("export_save_dialog_selection"));
            static_cast<QDialog*>(dialog)->accept();
        });
        bool selectionOnly = false;
        QVERIFY(!askExportPath(&window, f.doc, profile, &selectionOnly).isEmpty());
        QVERIFY(offered);
        QVERIFY(selectionOnly);
        dialogs::answerModal(QStringLiteral("名前を付けて保存"), [&](QWidget* dialog) {
            offered = dialog->findChild<QCheckBox*>(QStringLiteral("選択範囲のみ")) != nullptr;
            static_cast<QDialog*>(dialog)->reject();
        });
        askExportPath(&window, f.doc, profile);
        QVERIFY(!offered);

        const QString path = f.dir.filePath(QStringLiteral("selection.avi"));
        NamedCompressorChooser chooser{std::string(kUncompressedName)};
        QVERIFY(exportAviTo(&window, f.doc, path, chooser, false, selection));
        QCOMPARE(ExportFixture::readAll(path), f.reference(std::string(kUncompressedName), 5, 3));
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("作成しました: %1 (5 フレーム, 0.17 秒)").arg(path));
    }

    // The preview keeps its picture while the export runs and shows the same frame after it,
    // however the export ends.
    void thePreviewKeepsItsPictureThroughAnExport() {
        ExportFixture f;
        ProfileFile profile(f.dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        QMainWindow window;
        auto* preview = new PreviewView(f.doc, f.prompt, profile, &window);
        window.setCentralWidget(preview);
        preview->setFixedSize(200, 120);  // the end messages' status bar does not resize it
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        f.doc.Views().preview = PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, 6};
        const QImage before = preview->grab().toImage();
        QVERIFY(before.pixel(before.rect().center()) != qRgb(255, 255, 255));
        for (bool cancel : {false, true}) {
            QImage during;
            onProgressDialog([&](ExportProgressDialog* dialog) {
                connect(dialog, &ExportProgressDialog::frameWritten, dialog,
                        [&, dialog](uint32_t n) {
                            if (n == 3) {
                                during = preview->grab().toImage();
                                if (cancel) {
                                    dialog->abortButton()->click();
                                }
                            }
                        });
            });
            if (cancel) {
                dialogs::answerModal(QStringLiteral("Kelvane"),
                                     [](QWidget* box) { static_cast<QDialog*>(box)->accept(); });
            }
            NamedCompressorChooser chooser{std::string(kUncompressedName)};
            QCOMPARE(exportAviTo(&window, f.doc, f.dir.filePath(QStringLiteral("held.avi")),
                                 chooser, false),
                     !cancel);
            QCOMPARE(during, before);
            QVERIFY(!preview->holdsPicture());
            QCOMPARE(f.doc.Views().preview.kind, PreviewKind::AllTracksAtFrame);
            QCOMPARE(f.doc.Views().preview.frame, 6u);
            QCOMPARE(preview->grab().toImage(), before);
        }
    }

    // A finished export says so in the status bar; the extension decides the kind of file.
    void aFinishedExportIsAnnouncedInTheStatusBar() {
        ExportFixture f;
        QMainWindow window;
        const QString path = f.dir.filePath(QStringLiteral("window.mkv"));
        NamedCompressorChooser chooser{std::string()};  // the kind's default: FFV1
        QVERIFY(exportAviTo(&window, f.doc, path, chooser, false));
        QCOMPARE(window.statusBar()->currentMessage(),
                 QStringLiteral("作成しました: %1 (12 フレーム, 0.4 秒)").arg(path));
        QVERIFY(ExportFixture::readAll(path).startsWith("\x1A\x45\xDF\xA3"));  // Matroska
        QCOMPARE(exportDoneText(QStringLiteral("a.mp4"), 10, 29.97),
                 QStringLiteral("作成しました: a.mp4 (10 フレーム, 0.33 秒)"));
    }
};

QTEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"

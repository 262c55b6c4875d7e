#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ProjectFrameComposer.h"
#include "model/Document.h"
#include "support/ScriptedPrompt.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/MainWindow.h"
#include "ui/shell/DocumentSession.h"
#include "ui/shell/Shell.h"

using dialogs::answerModal;
using dialogs::setField;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// The document's two dialog commands run from the window's menu, as a user runs them.
class WindowDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void projectSettingsFromTheMenuReachTheSavedFile() {
        frame::ShellFixture fixture;
        answerModal(QStringLiteral("プロジェクトのプロパティ"), [](QWidget* dialog) {
            setField(dialog, QStringLiteral("出力の幅"), QStringLiteral("640"));
            setField(dialog, QStringLiteral("出力の高さ"), QStringLiteral("360"));
            setField(dialog, QStringLiteral("フレームレート"), QStringLiteral("25"));
            setField(dialog, QStringLiteral("動画の長さ"), QStringLiteral("0:02"));
            // The rate changed: the document asks whether to correct the events.
            answerModal(QStringLiteral("確認"), [](QWidget* box) {
                static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(fixture.window().executeCommand(CommandId::ProjectSettings));
        QVERIFY(fixture.session().isModified());
        const QString path = fixture.path(QStringLiteral("settings.xqm"));
        QVERIFY(fixture.session().document().SaveDocument(path.toStdU16String()));

        fixture.restart();
        QVERIFY(fixture.session().openDocument(path));
        const kelvane::ProjectSettings& s = fixture.session().document().GetProject().settings;
        QCOMPARE(s.width, 640u);
        QCOMPARE(s.height, 360u);
        QCOMPARE(s.frameRate, 25.0);
        // Two seconds: 60 frames at the old rate, rescaled to 50 at the new one.
        QCOMPARE(s.length, 50u);
    }

    void exportFromTheMenuWritesWhatTheCommandLineWrites() {
        frame::ShellFixture fixture;
        const QString path = fixture.path(QStringLiteral("menu.avi"));
        answerModal(QStringLiteral("名前を付けて保存"), [&](QWidget* dialog) {
            static_cast<QFileDialog*>(dialog)->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        answerModal(QStringLiteral("ビデオの圧縮"), [](QWidget* dialog) {
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("圧縮プログラム"));
            QCOMPARE(combo->currentText(), QStringLiteral("全フレーム (非圧縮)"));
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(fixture.window().executeCommand(CommandId::ExportAvi));
        QTRY_VERIFY(QFile::exists(path));

        kelvane::Document& doc = fixture.session().document();
        kelvane::ProjectFrameComposer composer(doc.ProjectForRendering());
        kelvane::NamedCompressorChooser chooser{std::string(kelvane::kUncompressedName)};
        kelvane::ExportJob job;
        kelvane::testing::ScriptedPrompt prompt;
        const QString reference = fixture.path(QStringLiteral("reference.avi"));
        QVERIFY(kelvane::RunExportCommand(job, kelvane::ExportSettingsOf(doc.GetProject()),
                                          composer, QFile::encodeName(reference).toStdString(),
                                          chooser, prompt, nullptr, {}));
        QCOMPARE(readAll(path), readAll(reference));
        QVERIFY(!readAll(path).isEmpty());
    }
};

QTEST_MAIN(WindowDialogsTest)
#include "window_dialogs_test.moc"

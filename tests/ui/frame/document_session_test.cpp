#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QtTest>

#include "app/ProcessState.h"
#include "model/Document.h"
#include "platform/ProfileFile.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/shell/DocumentSession.h"

namespace {

void answerFileDialog(const QString& path) {
    frame::answerNextModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

QString profileString(kelvane::ProcessState& process, const char* section, const char* key) {
    kelvane::PathBuffer value{};
    process.Profile().ReadString(section, key, u"", value);
    return QString::fromStdU16String(std::u16string(kelvane::PathView(value)));
}

}  // namespace

class DocumentSessionTest : public QObject {
    Q_OBJECT
  private slots:
    void saveAsNamesTheWindowAndOpenRebuildsThePanes() {
        frame::ShellFixture fixture;
        DocumentSession& session = fixture.session();
        MainWindow& window = fixture.window();
        window.activatePane(3);
        const QString path = fixture.path(QStringLiteral("sample.xqm"));

        answerFileDialog(fixture.path(QStringLiteral("sample")));  // the extension is added
        QVERIFY(window.executeCommand(CommandId::FileSaveAs));
        QVERIFY(QFile::exists(path));
        QCOMPARE(window.windowTitle(), QStringLiteral("sample.xqm - Kelvane"));
        QVERIFY(!session.isModified());

        QVERIFY(session.newDocument());
        QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト - Kelvane"));
        QWidget* before = window.paneGrid()->pane(3);
        QSignalSpy destroyed(before, &QObject::destroyed);
        answerFileDialog(path);
        QVERIFY(window.executeCommand(CommandId::FileOpen));
        QCOMPARE(window.windowTitle(), QStringLiteral("sample.xqm - Kelvane"));
        QCOMPARE(destroyed.count(), 1);  // new panes, and the active place stays active
        QCOMPARE(window.activePaneIndex(), 3);
        QCOMPARE(window.focusWidget(), window.paneGrid()->pane(3));
    }

    void startupProjectGetsPanesOfItsOwn() {
        frame::ShellFixture fixture;
        const QString path = fixture.path(QStringLiteral("start.xqm"));
        answerFileDialog(path);
        QVERIFY(fixture.session().saveAs());
        fixture.restart(false);
        const QPointer<QWidget> pane = fixture.window().paneGrid()->pane(0);
        QVERIFY(fixture.shell().openStartupProject(path));
        // A pane never outlives the project it was made for, not even at start-up.
        QVERIFY(pane.isNull());
        QCOMPARE(fixture.window().windowTitle(), QStringLiteral("start.xqm - Kelvane"));
    }

    void saveQuestionYesNoCancel() {
        frame::ShellFixture fixture;
        DocumentSession& session = fixture.session();
        session.document().SetModified(true);

        frame::BoxSeen seen;
        frame::answerNextBox(QMessageBox::Cancel, &seen);
        QVERIFY(!session.newDocument());
        QCOMPARE(seen.caption, QStringLiteral("Kelvane"));
        QCOMPARE(seen.text, QStringLiteral("新規プロジェクト への変更を保存しますか?"));
        QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QVERIFY(session.isModified());

        // Yes saves through the save-as dialog; cancelling that dialog cancels the new project.
        frame::answerNextBox(QMessageBox::Yes);
        frame::answerNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!session.newDocument());
        QVERIFY(session.isModified());

        const QString path = fixture.path(QStringLiteral("kept.xqm"));
        frame::answerNextBox(QMessageBox::Yes);
        answerFileDialog(path);
        QVERIFY(session.newDocument());
        QVERIFY(QFile::exists(path));
        QCOMPARE(session.name(), QStringLiteral("新規プロジェクト"));

        session.document().SetModified(true);
        frame::answerNextBox(QMessageBox::No);
        QVERIFY(session.newDocument());
        QVERIFY(!session.isModified());
    }

    void closingAsksAndCancelKeepsTheWindow() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.show();
        fixture.session().document().SetModified(true);
        frame::answerNextBox(QMessageBox::Cancel);
        window.executeCommand(CommandId::AppExit);
        QTest::qWait(0);  // the exit command closes from the event loop
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(window.isVisible());
        QVERIFY(fixture.session().isModified());

        frame::answerNextBox(QMessageBox::No);
        window.executeCommand(CommandId::AppExit);
        QTRY_VERIFY(!window.isVisible());
    }

    void unreadableProjectKeepsTheCurrentOneAndLeavesTheRecentList() {
        frame::ShellFixture fixture;
        DocumentSession& session = fixture.session();
        const QString good = fixture.path(QStringLiteral("good.xqm"));
        answerFileDialog(good);
        QVERIFY(session.saveAs());

        const QString bad = fixture.path(QStringLiteral("bad.xqm"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a project");
        file.close();
        frame::BoxSeen seen;
        frame::answerNextBox(QMessageBox::Ok, &seen);
        QVERIFY(!session.openDocument(bad));
        QCOMPARE(seen.caption, QStringLiteral("エラー"));
        // The second line names the file and what is wrong with it.
        QCOMPARE(
            seen.text,
            QStringLiteral("読み込みに失敗しました。\n%1: プロジェクトファイルではありません。")
                .arg(bad));
        QCOMPARE(session.path(), good);
        QCOMPARE(fixture.window().windowTitle(), QStringLiteral("good.xqm - Kelvane"));

        // A recent entry whose file went away is dropped when chosen.
        QVERIFY(QFile::remove(good));
        QCOMPARE(fixture.shell().recentFiles().files(), QStringList{good});
        QVERIFY(!fixture.window().executeCommand(CommandId::RecentFile) ||
                fixture.shell().recentFiles().files().isEmpty());
        QVERIFY(fixture.shell().recentFiles().files().isEmpty());
        QVERIFY(!fixture.window().commandAction(CommandId::RecentFile)->isEnabled());
    }

    void recentFilesAreKeptInTheIniFileAndShownNewestFirst() {
        frame::ShellFixture fixture;
        QStringList paths;
        for (int i = 0; i < 5; ++i) {
            paths << fixture.path(QStringLiteral("p%1.xqm").arg(i));
            answerFileDialog(paths.last());
            QVERIFY(fixture.session().saveAs());
        }
        QVERIFY(fixture.session().openDocument(paths[2]));  // moves to the top
        const QStringList expected = {paths[2], paths[4], paths[3], paths[1]};
        QCOMPARE(fixture.shell().recentFiles().files(), expected);
        QCOMPARE(profileString(fixture.process(), "Recent File List", "File1"), paths[2]);
        QCOMPARE(profileString(fixture.process(), "Recent File List", "File4"), paths[1]);

        fixture.restart();
        QCOMPARE(fixture.shell().recentFiles().files(), expected);
        QMenu* fileMenu = fixture.window().menuBar()->actions().first()->menu();
        emit fileMenu->aboutToShow();
        QAction* second = fixture.window().commandAction(CommandId::RecentFile2);
        QCOMPARE(second->text(), QStringLiteral("&2 ") + paths[4]);
        QVERIFY(second->isEnabled() && second->isVisible());
        QVERIFY(fixture.window().executeCommand(CommandId::RecentFile2));
        QCOMPARE(fixture.session().path(), paths[4]);
    }

    void undoAndRedoAreEnabledOnlyWithAStep() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        QAction* undo = window.commandAction(CommandId::EditUndo);
        QAction* redo = window.commandAction(CommandId::EditRedo);
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
        fixture.session().document().Checkpoint();  // the history says so; no update needed
        QVERIFY(undo->isEnabled() && !redo->isEnabled());
        QVERIFY(window.executeCommand(CommandId::EditUndo));
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
    }

    void presetsAskFirstAndCancelChangesNothing() {
        frame::ShellFixture fixture;
        kelvane::AppSettings& settings = fixture.process().CurrentSettings();
        const int32_t threads = settings.drawFrameThread;
        frame::BoxSeen seen;
        frame::answerNextBox(QMessageBox::Cancel, &seen);
        QVERIFY(fixture.window().executeCommand(CommandId::PresetStability));
        QCOMPARE(seen.caption, QStringLiteral("確認"));
        QCOMPARE(seen.text, QStringLiteral("INIファイルの設定を変更します。続行しますか？"));
        QCOMPARE(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(settings.drawFrameThread, threads);

        frame::answerNextBox(QMessageBox::Ok);
        QVERIFY(fixture.window().executeCommand(CommandId::PresetStability));
        QCOMPARE(settings.drawFrameThread, 0);
        QCOMPARE(settings.readEverySample, 1);
        frame::answerNextBox(QMessageBox::Ok);
        QVERIFY(fixture.window().executeCommand(CommandId::PresetSpeed));
        QCOMPARE(settings.drawFrameThread, 16);
    }
};

QTEST_MAIN(DocumentSessionTest)
#include "document_session_test.moc"

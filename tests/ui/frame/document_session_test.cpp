#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QtTest>

#include "app/ProcessState.h"
#include "model/Document.h"
#include "platform/ProfileFile.h"
#include "render/PixelImage.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/preview/PreviewImageFile.h"
#include "ui/shell/DocumentSession.h"
#include "ui/shell/QtUserPrompt.h"

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
        QCOMPARE(window.windowTitle(), QStringLiteral("sample.xqm[*] - Kelvane"));
        QVERIFY(!session.isModified());

        QVERIFY(session.newDocument());
        QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト[*] - Kelvane"));
        QWidget* before = window.paneGrid()->pane(3);
        QSignalSpy destroyed(before, &QObject::destroyed);
        answerFileDialog(path);
        QVERIFY(window.executeCommand(CommandId::FileOpen));
        QCOMPARE(window.windowTitle(), QStringLiteral("sample.xqm[*] - Kelvane"));
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
        QCOMPARE(fixture.window().windowTitle(), QStringLiteral("start.xqm[*] - Kelvane"));
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
        QCOMPARE(fixture.window().windowTitle(), QStringLiteral("good.xqm[*] - Kelvane"));

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

    // The title marks unsaved changes; the window's place and bars come back at the next start.
    void theTitleMarksChangesAndTheWindowKeepsItsPlace() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        QVERIFY(!window.isWindowModified());
        fixture.session().document().SetModified(true);
        QVERIFY(window.isWindowModified());
        fixture.session().document().SetModified(false);
        QVERIFY(!window.isWindowModified());

        window.resize(720, 520);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE(window.size(), QSize(720, 520));
        window.paneGrid()->setBarPositions(300, 200);
        QVERIFY(window.close());
        QCOMPARE(fixture.process().Profile().ReadInt("MainFrame", "Width", 0), 720);
        QCOMPARE(fixture.process().Profile().ReadInt("MainFrame", "ColumnBar", 0), 300);
        fixture.restart();
        MainWindow& again = fixture.window();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QTRY_COMPARE(again.size(), QSize(720, 520));
        QTRY_COMPARE(again.paneGrid()->columnBarPosition(), 300);
        QCOMPARE(again.paneGrid()->rowBarPosition(), 200);
    }

    // A project whose media folder was renamed: the question offers "ファイルの場所を指定…", the
    // file pointed at brings the other one of its folder, and the status bar counts both.
    void aMovedMediaFolderIsFoundFromOneFile() {
        frame::ShellFixture fixture;
        QDir(fixture.path(QString())).mkdir(QStringLiteral("media"));
        std::vector<std::u16string> paths;
        for (const char* name : {"media/a.bmp", "media/b.bmp"}) {
            kelvane::PixelImage image;
            QVERIFY(image.Create(8, 8, 32));
            const QString path = fixture.path(QString::fromLatin1(name));
            QVERIFY(kelvane::writePreviewImage(path.toStdU16String(), image));
            paths.push_back(path.toStdU16String());
        }
        kelvane::FileSelection selection;
        QVERIFY(fixture.session().document().Files().AddDroppedFiles(paths, selection));
        const QString project = fixture.path(QStringLiteral("moved.xqm"));
        answerFileDialog(project);
        QVERIFY(fixture.session().saveAs());
        QVERIFY(QDir(fixture.path(QString()))
                    .rename(QStringLiteral("media"), QStringLiteral("renamed")));
        QVERIFY(fixture.session().newDocument());

        QStringList buttons;
        frame::answerNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
            }
            answerFileDialog(fixture.path(QStringLiteral("renamed/a.bmp")));
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == QtUserPrompt::kLocateButton) {
                    button->click();
                }
            }
        });
        QVERIFY(fixture.session().openDocument(project));
        QVERIFY(buttons.contains(QtUserPrompt::kLocateButton));
        const kelvane::Project& opened = fixture.session().document().GetProject();
        QVERIFY(opened.files[0].Used() && opened.files[1].Used());
        QCOMPARE(QString::fromStdU16String(std::u16string(kelvane::PathView(opened.files[1].path))),
                 fixture.path(QStringLiteral("renamed/b.bmp")));
        QCOMPARE(fixture.window().statusBar()->currentMessage(), DocumentSession::relinkedText(2));
        QVERIFY(fixture.session().isModified());
    }
};

QTEST_MAIN(DocumentSessionTest)
#include "document_session_test.moc"

// Walk-throughs in the whole window: the timeline pane as the frame builds it, over the real
// document, saved to and read from a real project file.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QtTest>

#include "model/Document.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/shell/DocumentSession.h"
#include "ui/timeline/TimelineView.h"

namespace {

std::vector<uint32_t> startsOf(const kelvane::Document& doc, uint32_t track) {
    std::vector<uint32_t> starts;
    for (const auto& event : doc.GetProject().tracks[track].EventSpan()) {
        starts.push_back(event.start);
    }
    return starts;
}

QPoint onTrack(const TimelineView& view, uint32_t frame, uint32_t track) {
    return QPoint(int(timeline::frameToX(frame, view.state().zoom) - view.scrollX()),
                  int(timeline::trackRowTop(int(track)) + 8 - view.scrollY()));
}

}  // namespace

class TimelineWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void dragUndoSaveAndReadBack() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* view = qobject_cast<TimelineView*>(window.paneGrid()->pane(3));
        QVERIFY(view);
        QCOMPARE(view->accessibleName(), QStringLiteral("タイムライン"));
        kelvane::Document& doc = fixture.shell().document();
        kelvane::TrackEvent event{};
        event.flags = kelvane::kEventUsed | kelvane::kEventParametric;
        event.start = 10;
        event.scale = 1.0f;
        QVERIFY(doc.Timeline().Insert(2, event, true));
        event.start = 30;
        QVERIFY(doc.Timeline().Insert(2, event, true));

        // Drag the first event from frame 12 to frame 22 with the mouse.
        QWidget* area = view->viewport();
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, onTrack(*view, 12, 2));
        QTest::mouseMove(area, onTrack(*view, 18, 2));
        QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, onTrack(*view, 22, 2));
        QCOMPARE(window.activePaneIndex(), 3);  // the click made the timeline the active pane
        QCOMPARE(startsOf(doc, 2), (std::vector<uint32_t>{20, 30}));
        const QString shots =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
        QDir().mkpath(shots);
        window.grab().save(shots + QStringLiteral("/timeline_in_window.png"));
        QVERIFY(window.executeCommand(CommandId::EditUndo));
        QCOMPARE(startsOf(doc, 2), (std::vector<uint32_t>{10, 30}));
        QVERIFY(window.executeCommand(CommandId::EditRedo));
        QCOMPARE(startsOf(doc, 2), (std::vector<uint32_t>{20, 30}));

        // Save through the window, start again, open it: the moved event is where it was left.
        const QString path = fixture.path(QStringLiteral("moved.xqm"));
        frame::answerNextModal([path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QVERIFY(window.executeCommand(CommandId::FileSaveAs));
        fixture.restart();
        QVERIFY(fixture.session().openDocument(path));
        QCOMPARE(startsOf(fixture.shell().document(), 2), (std::vector<uint32_t>{20, 30}));
    }

    // The status bar always says where the cursor is; Home and End go to the first and the last
    // frame, Ctrl+G to a typed time or frame, from any pane.
    void theCursorIsShownAndFoundByKeyAndByGoTo() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        kelvane::Document& doc = fixture.shell().document();
        kelvane::ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.length = u"300";
        form.frameRate = 30;
        QVERIFY(doc.Settings().Apply(form));
        auto* view = qobject_cast<TimelineView*>(window.paneGrid()->pane(3));
        QLabel* field = window.cursorField();
        QCOMPARE(field->text(), QStringLiteral("00:00.000 / 0"));
        window.activatePane(3);
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(field->text(), QStringLiteral("00:00.033 / 1"));
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->state().cursor, 299u);
        QCOMPARE(field->text(), QStringLiteral("00:09.966 / 299"));
        // The cursor is in view after the jump.
        const int64_t x = timeline::frameToX(299, view->state().zoom) - view->scrollX();
        QVERIFY(x >= 0 && x < view->viewport()->width());
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->state().cursor, 0u);
        QCOMPARE(view->state().selectionStart, view->state().selectionEnd);

        // "移動" from the file list: a time, then a frame, then a frame past the end; text that
        // is neither is refused and changes nothing.
        window.activatePane(1);
        const auto goTo = [&](const QString& typed, bool refused = false) {
            frame::answerNextModal([&](QWidget* dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("移動"));
                dialog->findChild<QLineEdit*>(QStringLiteral("時間またはフレーム番号"))
                    ->setText(typed);
                if (refused) {
                    frame::answerNextBox(QMessageBox::Ok);
                }
                static_cast<QDialog*>(dialog)->accept();
                if (refused) {
                    QTRY_VERIFY(QApplication::activeModalWidget() == dialog);
                    static_cast<QDialog*>(dialog)->reject();
                }
            });
            QVERIFY(window.executeCommand(CommandId::GoToFrame));
        };
        goTo(QStringLiteral("0:01.5"));
        QCOMPARE(view->state().cursor, 45u);
        QCOMPARE(field->text(), QStringLiteral("00:01.500 / 45"));
        goTo(QStringLiteral("120"));
        QCOMPARE(view->state().cursor, 120u);
        goTo(QStringLiteral("100000"));
        QCOMPARE(view->state().cursor, 299u);
        goTo(QStringLiteral("abc"), true);
        QCOMPARE(view->state().cursor, 299u);
        QCOMPARE(window.activePaneIndex(), 1);
    }

    // Zooming keeps the cursor where it stands on screen, or brings it into view.
    void zoomKeepsTheCursorInPlace() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        kelvane::Document& doc = fixture.shell().document();
        kelvane::ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.length = u"20000";
        QVERIFY(doc.Settings().Apply(form));
        auto* view = qobject_cast<TimelineView*>(window.paneGrid()->pane(3));
        window.activatePane(3);
        view->moveCursorTo(1000);
        const auto onScreen = [&] {
            return timeline::frameToX(view->state().cursor, view->state().zoom) - view->scrollX();
        };
        const int64_t before = onScreen();
        QVERIFY(before >= 0 && before < view->viewport()->width());
        QVERIFY(window.executeCommand(CommandId::ZoomIn));
        QCOMPARE(onScreen(), before);
        QVERIFY(window.executeCommand(CommandId::ZoomOut));
        QVERIFY(window.executeCommand(CommandId::ZoomOut));
        QCOMPARE(onScreen(), before);
        // Scrolled away from the cursor: zooming brings it back to the middle.
        view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
        QVERIFY(window.executeCommand(CommandId::ZoomIn));
        QCOMPARE(onScreen(), int64_t(view->viewport()->width() / 2));
    }

    void templateKeyInsertsAtTheCursor() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        kelvane::Document& doc = fixture.shell().document();
        QVERIFY(doc.Templates().DropFile(0, 3));  // slot 0: key "1"
        window.activatePane(3);
        auto* view = qobject_cast<TimelineView*>(window.paneGrid()->pane(3));
        QVERIFY(view);
        QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);  // track 1
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(view, Qt::Key_Right);
        }
        QCOMPARE(view->state().cursor, 1u);  // a new project is one frame long
        QTest::keyClick(view, Qt::Key_1);
        QCOMPARE(startsOf(doc, 1), std::vector<uint32_t>{1});
        QCOMPARE(doc.GetProject().tracks[1].Events()[0].fileId, 3);
        QVERIFY(doc.IsModified());
        QVERIFY(window.executeCommand(CommandId::EditUndo));
        QCOMPARE(startsOf(doc, 1), std::vector<uint32_t>{});
    }
};

QTEST_MAIN(TimelineWindowTest)
#include "timeline_window_test.moc"

// Walk-throughs in the whole window: the timeline pane as the frame builds it, over the real
// document, saved to and read from a real project file.
#include <QFileDialog>
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

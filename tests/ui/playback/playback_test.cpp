// Playback in the whole window, on a clock the test moves: the Space key, the cursor and the
// status bar following the clock, the loop over a selection, the end, and the stop that comes
// before every edit, open, close and export.
#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>
#include <atomic>
#include <memory>

#include "export/playback/PlaybackTiming.h"
#include "model/Document.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/playback/PlaybackController.h"
#include "ui/preview/PreviewView.h"
#include "ui/timeline/TimelineView.h"

using namespace std::chrono;

namespace {

// A clock that stands still until the test moves it; both threads read it.
struct ManualClock {
    std::shared_ptr<std::atomic<int64_t>> ns = std::make_shared<std::atomic<int64_t>>(0);

    kelvane::PlaybackClock clock() const {
        return [ns = ns] { return nanoseconds(ns->load()); };
    }
    // The due time of frame k of a 30 fps stream that began at 0.
    void toFrame(uint64_t k) const {
        ns->store(kelvane::FrameDueOffset(k, kelvane::ExactRate{30, 1}).count());
    }
};

// The rectangles of the paints a widget gets.
class PaintSpy : public QObject {
  public:
    explicit PaintSpy(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) {
                painted << rect;
            }
        }
        return false;
    }
    QList<QRect> painted;
};

class PlaybackWorld {
  public:
    explicit PlaybackWorld(uint32_t length) {
        kelvane::Document& doc = document();
        kelvane::ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.length = std::u16string(QString::number(length).toStdU16String());
        form.red = form.green = form.blue = 0;
        doc.Settings().Apply(form);
        playback().setClock(clock.clock());
        window().activateWindow();
        window().activatePane(3);
    }

    MainWindow& window() { return fixture.window(); }
    kelvane::Document& document() { return fixture.shell().document(); }
    PlaybackController& playback() { return fixture.shell().playback(); }
    TimelineView& timeline() { return *qobject_cast<TimelineView*>(window().paneGrid()->pane(3)); }
    uint32_t cursor() { return timeline().state().cursor; }
    QString status() { return window().messagePane()->text(); }
    QAction* action() { return window().commandAction(CommandId::PlayStop); }
    void space(int pane) { QTest::keyClick(window().paneGrid()->pane(pane), Qt::Key_Space); }
    // Moves the clock frame by frame and waits each time until that frame is on show.
    bool playTo(uint64_t k, uint32_t expectedFrame) {
        clock.toFrame(k);
        return QTest::qWaitFor([&] { return cursor() == expectedFrame; }, 10000);
    }

    frame::ShellFixture fixture;
    ManualClock clock;
};

}  // namespace

class PlaybackTest : public QObject {
    Q_OBJECT
  private slots:
    void spaceStartsAndStopsInTheTimelineAndThePreviewOnly() {
        PlaybackWorld world(60);
        QCOMPARE(world.action()->text(), QStringLiteral("再生(&L)"));
        QVERIFY(!world.action()->isChecked());
        world.space(3);
        QVERIFY(world.playback().playing());
        QVERIFY(world.action()->isChecked());
        QTRY_COMPARE(world.status(), QStringLiteral("再生中 00:00.000 (コマ落ち 0)"));
        // Esc keeps its meaning and the playback.
        QVERIFY(world.window().executeCommand(CommandId::AllTracks));
        QVERIFY(world.playback().playing());
        world.space(3);
        QVERIFY(!world.playback().playing());
        QVERIFY(!world.action()->isChecked());
        QCOMPARE(world.status(), MainWindow::kReadyText);

        world.window().activatePane(0);
        world.space(0);
        QVERIFY(world.playback().playing());
        world.space(0);
        QVERIFY(!world.playback().playing());

        // The lists keep the key.
        world.window().activatePane(1);
        world.space(1);
        world.window().activatePane(2);
        world.space(2);
        QVERIFY(!world.playback().playing());
    }

    // The toolbar's play button is drawn dark while it works and pale only while it does not.
    void thePlayButtonLooksEnabledWhenItIs() {
        PlaybackWorld world(60);
        QVERIFY(world.action()->isEnabled());
        const auto darkest = [](const QIcon& icon, QIcon::Mode mode) {
            const QImage image = icon.pixmap(QSize(16, 16), 1.0, mode).toImage();
            int least = 255;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(image.pixel(x, y)) > 128) {
                        least = std::min(least, qGray(image.pixel(x, y)));
                    }
                }
            }
            return least;
        };
        for (bool playing : {false, true}) {
            world.space(3);
            QCOMPARE(world.playback().playing(), !playing);
            const QIcon icon = world.action()->icon();
            QVERIFY(!icon.isNull());
            QVERIFY2(darkest(icon, QIcon::Normal) < 100, "an enabled button looks greyed");
            QVERIFY(darkest(icon, QIcon::Normal) < darkest(icon, QIcon::Disabled));
        }
    }

    void cursorAndStatusFollowTheClockAndDropsAreCounted() {
        PlaybackWorld world(300);
        QVERIFY(world.playback().start());
        QTRY_VERIFY(world.playback().statistics().firstFrameAfter.has_value());
        QVERIFY(world.playTo(1, 1));
        QVERIFY(world.playTo(2, 2));
        // Ten frames' time at once: the frames in between are never shown.
        QVERIFY(world.playTo(12, 12));
        QCOMPARE(world.playback().statistics().framesDropped, uint64_t(9));
        QCOMPARE(world.status(), QStringLiteral("再生中 00:00.400 (コマ落ち 9)"));
        // One frame on: only the cursor's old and new strips of the ruler are painted again.
        PaintSpy spy(world.timeline().viewport());
        QVERIFY(world.playTo(13, 13));
        QTRY_VERIFY(!spy.painted.isEmpty());
        for (const QRect& rect : spy.painted) {
            QVERIFY2(rect.width() <= 9 + 8 && rect.height() <= timeline::kRulerHeight,
                     qPrintable(QStringLiteral("%1x%2").arg(rect.width()).arg(rect.height())));
        }
        // Past the right edge: the view turns a page, the cursor at its left edge.
        const int64_t x = timeline::frameToX(200, world.timeline().state().zoom);
        QVERIFY(x > world.timeline().viewport()->width());
        QVERIFY(world.playTo(200, 200));
        QCOMPARE(world.timeline().scrollX(), x);
        // Between two due times nothing changes.
        world.clock.ns->fetch_add(duration_cast<nanoseconds>(milliseconds(20)).count());
        QTest::qWait(50);
        QCOMPARE(world.cursor(), 200u);

        // Stopped: the preview shows the whole composition at the cursor, from the live project.
        world.space(3);
        const kelvane::PreviewRequest request = world.document().Views().preview;
        QCOMPARE(int(request.kind), int(kelvane::PreviewKind::AllTracksAtFrame));
        QCOMPARE(request.frame, 200u);
        QCOMPARE(world.cursor(), 200u);
        QCOMPARE(world.playback().statistics().framesShown, uint64_t(6));
    }

    void aSelectionLoopsUntilStopped() {
        PlaybackWorld world(300);
        // Shift+Right three times from frame 5 selects frames 5 to 7; the cursor stands after.
        TimelineView& timeline = world.timeline();
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(&timeline, Qt::Key_Right);
        }
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&timeline, Qt::Key_Right, Qt::ShiftModifier);
        }
        QCOMPARE(world.cursor(), 8u);
        world.space(3);
        QTRY_COMPARE(world.cursor(), 5u);
        const uint32_t expected[] = {6, 7, 5, 6, 7, 5};
        for (uint64_t k = 1; k <= 6; ++k) {
            QVERIFY(world.playTo(k, expected[k - 1]));
        }
        QVERIFY(world.playback().playing());
        QCOMPARE(timeline.state().selectionStart, 5u);
        QCOMPARE(timeline.state().selectionEnd, 8u);
        world.space(3);
        QCOMPARE(world.cursor(), 5u);
    }

    void theEndStopsOnTheLastFrameAndAnEmptyProjectPlaysBlack() {
        PlaybackWorld world(5);
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(&world.timeline(), Qt::Key_Right);
        }
        world.space(3);
        QTRY_VERIFY(world.playback().statistics().firstFrameAfter.has_value());
        auto* preview = qobject_cast<kelvane::PreviewView*>(world.window().paneGrid()->pane(0));
        const QImage shown = preview->grab().toImage();
        QCOMPARE(shown.pixel(shown.width() / 2, shown.height() / 2) & 0xFFFFFF, 0u);
        QVERIFY(world.playTo(1, 3));
        world.clock.toFrame(2);
        QTRY_VERIFY(!world.playback().playing());
        QCOMPARE(world.cursor(), 4u);
        QCOMPARE(world.playback().statistics().framesShown, uint64_t(3));
        QCOMPARE(world.status(), MainWindow::kReadyText);
        QCOMPARE(world.document().Views().preview.frame, 4u);

        // From the last frame it starts again at frame 0.
        world.clock.toFrame(0);
        world.space(3);
        QTRY_COMPARE(world.playback().statistics().framesShown, uint64_t(1));
        QCOMPARE(world.cursor(), 0u);
        world.space(3);
    }

    void editOpenCloseAndExportStopFirst() {
        PlaybackWorld world(300);
        PlaybackController& playback = world.playback();

        // An edit from anywhere: the document's change ends the playback.
        QVERIFY(playback.start());
        kelvane::TrackEvent event{};
        event.flags = kelvane::kEventUsed | kelvane::kEventParametric;
        event.scale = 1.0f;
        QVERIFY(world.document().Timeline().Insert(0, event, true));
        QVERIFY(!playback.playing());
        // An edit through the window's commands stops before it runs.
        QVERIFY(playback.start());
        QVERIFY(world.window().executeCommand(CommandId::EditUndo));
        QVERIFY(!playback.playing());

        // Open, export and close: when their first dialog shows, playback has stopped.
        for (CommandId id : {CommandId::FileOpen, CommandId::ExportAvi}) {
            QVERIFY(playback.start());
            bool stoppedFirst = false;
            frame::answerNextModal([&](QWidget* modal) {
                stoppedFirst = !playback.playing();
                qobject_cast<QDialog*>(modal)->reject();
            });
            world.window().executeCommand(id);
            QVERIFY2(stoppedFirst, qPrintable(QString::number(int(id))));
        }
        QVERIFY(world.document().IsModified());
        QVERIFY(playback.start());
        bool stoppedFirst = false;
        frame::answerNextModal([&](QWidget* modal) {
            stoppedFirst = !playback.playing();
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel)->click();
        });
        QVERIFY(!world.window().close());
        QVERIFY(stoppedFirst);
    }
};

QTEST_MAIN(PlaybackTest)
#include "playback_test.moc"

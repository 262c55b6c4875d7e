// Editing on the timeline, driven by mouse and keys and checked in the document and its history.
#include <QtTest>

#include <QMenu>
#include <QMimeData>
#include <QScrollBar>

#include "TimelineTestSupport.h"
#include "platform/ProfileFile.h"
#include "ui/dragdrop/MimeTypes.h"

using timeline::Mode;
using timeline::testing::TimelineFixture;
using Starts = std::vector<uint32_t>;

class TimelineEditingTest : public QObject {
    Q_OBJECT
  private slots:
    void clicksSelectByTheModifierRule() {
        TimelineFixture f;
        f.setEvents(2, {0, 10, 20, 30, 40});
        f.click(f.at(25, 2));
        QCOMPARE(f.view->state().currentTrack, 2u);
        QCOMPARE(f.selected(2), Starts({2}));
        f.click(f.at(5, 2), Qt::ControlModifier);
        QCOMPARE(f.selected(2), Starts({0, 2}));
        f.click(f.at(45, 2));  // plain click: only this one
        QCOMPARE(f.selected(2), Starts({4}));
        f.click(f.at(15, 2), Qt::ShiftModifier);  // toggles 1..3 towards the anchor 4
        QCOMPARE(f.selected(2), Starts({1, 2, 3, 4}));
        f.click(f.at(15, 2), Qt::ShiftModifier);  // on the current event: nothing changes
        QCOMPARE(f.selected(2), Starts({1, 2, 3, 4}));
        // The last event lasts for ever: a click far to its right still hits it.
        f.click(f.at(90, 2));
        QCOMPARE(f.selected(2), Starts({4}));
        QCOMPARE(f.view->state().currentEvent, 4u);
        // A track without events: the click makes it current and starts nothing.
        f.click(f.at(10, 5));
        QCOMPARE(f.view->state().currentTrack, 5u);
        QCOMPARE(f.selected(2), Starts({4}));
        QCOMPARE(f.checkpoints(), 0u);
        QVERIFY(!f.doc.IsModified());
    }

    void draggingMovesTheSelectionInOneUndoStep() {
        TimelineFixture f;
        f.setEvents(1, {0, 40, 80});
        QTest::mousePress(f.viewport(), Qt::LeftButton, Qt::NoModifier, f.at(45, 1));
        QTest::mouseMove(f.viewport(), f.at(50, 1));
        QTest::mouseMove(f.viewport(), f.at(60, 1));
        QCOMPARE(f.starts(1), Starts({0, 40, 80}));  // nothing moves before the drop
        QCOMPARE(f.checkpoints(), 0u);
        QTest::mouseRelease(f.viewport(), Qt::LeftButton, Qt::NoModifier, f.at(60, 1));
        QCOMPARE(f.starts(1), Starts({0, 55, 80}));
        QCOMPARE(f.checkpoints(), 1u);
        QVERIFY(f.doc.IsModified());
        QCOMPARE(f.starts(0), Starts{});  // they stay on their track

        // Moved before frame 0, events land on 0 and the track is sorted again, stably. A Shift
        // press on the current event keeps the selection for the drag.
        f.click(f.at(85, 1), Qt::ControlModifier);
        QCOMPARE(f.selected(1), Starts({1, 2}));
        f.drag(f.at(85, 1), f.at(10, 1), Qt::ShiftModifier);
        QCOMPARE(f.starts(1), Starts({0, 0, 5}));
        QCOMPARE(f.track(1).Events()[0].fileId, 0);
        QCOMPARE(f.checkpoints(), 2u);

        f.doc.Undo();
        QCOMPARE(f.starts(1), Starts({0, 55, 80}));
        f.doc.Undo();
        QCOMPARE(f.starts(1), Starts({0, 40, 80}));
        f.doc.Redo();
        QCOMPARE(f.starts(1), Starts({0, 55, 80}));

        // A press and release on the same frame is a click, not an edit.
        const uint32_t before = f.checkpoints();
        f.click(f.at(56, 1));
        QCOMPARE(f.checkpoints(), before);
    }

    void theRulerSetsCursorRangeAndPreview() {
        TimelineFixture f;
        f.drag(f.onRuler(40), f.onRuler(10));
        QCOMPARE(f.view->state().cursor, 10u);
        QCOMPARE(f.view->state().selectionStart, 10u);
        QCOMPARE(f.view->state().selectionEnd, 40u);
        QVERIFY(f.doc.Views().preview.pending);
        QCOMPARE(f.doc.Views().preview.kind, kelvane::PreviewKind::AllTracksAtFrame);
        QCOMPARE(f.doc.Views().preview.frame, 10u);
        // Pressing on the start lets the drag carry that end; the other end stays.
        f.drag(f.onRuler(10), f.onRuler(60));
        QCOMPARE(f.view->state().selectionStart, 40u);
        QCOMPARE(f.view->state().selectionEnd, 60u);

        // In detail mode the request names the current track; with preview off nothing is asked.
        f.view->runCommand(CommandId::AllTracks);
        f.doc.Views().preview = {};
        QTest::keyClick(f.view.get(), Qt::Key_Right);
        QCOMPARE(f.doc.Views().preview.kind, kelvane::PreviewKind::TrackAtFrame);
        f.view->runCommand(CommandId::PreviewToggle);
        f.doc.Views().preview = {};
        f.click(f.onRuler(20));
        QTest::keyClick(f.view.get(), Qt::Key_Left);
        QVERIFY(!f.doc.Views().preview.pending);
    }

    void keysMoveCursorEventsAndTracks() {
        TimelineFixture f;
        f.setEvents(0, {0, 5, 9});
        QTest::keyClick(f.view.get(), Qt::Key_Left);  // not below 0
        QCOMPARE(f.view->state().cursor, 0u);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(f.view.get(), Qt::Key_Right);
        }
        QTest::keyClick(f.view.get(), Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(f.view.get(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(f.view->state().cursor, 5u);
        QCOMPARE(f.view->state().selectionStart, 3u);
        QCOMPARE(f.view->state().selectionEnd, 5u);
        for (int i = 0; i < 3; ++i) {  // back across the start: the range turns round
            QTest::keyClick(f.view.get(), Qt::Key_Left, Qt::ShiftModifier);
        }
        QCOMPARE(f.view->state().cursor, 2u);
        QCOMPARE(f.view->state().selectionStart, 2u);
        QCOMPARE(f.view->state().selectionEnd, 3u);

        QTest::keyClick(f.view.get(), Qt::Key_Down);
        QTest::keyClick(f.view.get(), Qt::Key_Down);
        QTest::keyClick(f.view.get(), Qt::Key_Down);  // not past the last event
        QCOMPARE(f.selected(0), Starts({2}));
        QVERIFY(f.doc.Views().preview.kind == kelvane::PreviewKind::SingleEvent);
        QCOMPARE(f.doc.Views().workEvent.start, 9u);
        QTest::keyClick(f.view.get(), Qt::Key_Up);
        QCOMPARE(f.selected(0), Starts({1}));
        QTest::keyClick(f.view.get(), Qt::Key_Up, Qt::ShiftModifier);  // not above track 0
        QCOMPARE(f.view->state().currentTrack, 0u);
        QTest::keyClick(f.view.get(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(f.view->state().currentTrack, 1u);
        QCOMPARE(f.checkpoints(), 0u);
    }

    void templateKeysInsertAtTheCursor() {
        TimelineFixture f;
        kelvane::EventTemplate& slot = f.arrange().templates[0];
        slot = timeline::testing::usedEvent(0, 42);
        slot.flags |= kelvane::kEventSelected;
        for (int i = 0; i < 7; ++i) {
            QTest::keyClick(f.view.get(), Qt::Key_Right);
        }
        QTest::keyClick(f.view.get(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(f.view.get(), Qt::Key_1);  // slot 0
        QCOMPARE(f.starts(1), Starts({7}));
        QCOMPARE(f.track(1).Events()[0].fileId, 42);
        QCOMPARE(f.selected(1), Starts{});
        QCOMPARE(f.checkpoints(), 1u);
        QTest::keyClick(f.view.get(), Qt::Key_2);      // slot 1 is empty
        QTest::keyClick(f.view.get(), Qt::Key_Space);  // slots 26-63 carry no key
        QTest::keyClick(f.view.get(), Qt::Key_Q);      // the upper letter row is not used
        QCOMPARE(f.starts(1), Starts({7}));
        QCOMPARE(f.checkpoints(), 1u);
        f.doc.Undo();
        QCOMPARE(f.starts(1), Starts{});
    }

    void clipboardCommandsGoThroughTheDocument() {
        TimelineFixture f;
        f.setEvents(0, {0, 10, 20});
        f.view->runCommand(CommandId::EditClear);  // nothing selected: told, nothing changed
        QCOMPARE(f.prompt.errors.size(), size_t(1));
        QCOMPARE(f.prompt.errors.back(), std::string("消去できるデータがありません。"));
        QCOMPARE(f.checkpoints(), 0u);

        f.click(f.at(12, 0));
        f.click(f.at(25, 0), Qt::ShiftModifier);
        f.view->runCommand(CommandId::EditCopy);
        QVERIFY(f.clipboard.HasData());
        f.click(f.onRuler(60));
        f.view->runCommand(CommandId::EditPaste);
        QCOMPARE(f.starts(0), Starts({0, 10, 20, 60, 70}));
        f.view->runCommand(CommandId::EditSelectAll);
        QCOMPARE(f.selected(0), Starts({0, 1, 2, 3, 4}));
        f.view->runCommand(CommandId::EditCut);
        QCOMPARE(f.starts(0), Starts{});
        QCOMPARE(f.checkpoints(), 2u);
        f.doc.Undo();
        QCOMPARE(f.starts(0), Starts({0, 10, 20, 60, 70}));
        f.doc.Undo();
        QCOMPARE(f.starts(0), Starts({0, 10, 20}));
    }

    void dropsInsertFilesAndTemplates() {
        TimelineFixture f;
        const auto drop = [&](const QString& type, const QByteArray& payload, QPoint at) {
            QMimeData data;
            data.setData(type, payload);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.viewport(), &enter);
            QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.viewport(), &event);
            return enter.isAccepted() && event.isAccepted();
        };
        QVERIFY(drop(mime::kFileEntry, "5", f.at(50, 3)));
        QCOMPARE(f.starts(3), Starts({50}));
        const kelvane::TrackEvent& made = f.track(3).Events()[0];
        QCOMPARE(made.fileId, 5);
        QCOMPARE(made.flags, uint32_t(kelvane::kEventUsed | kelvane::kEventParametric));
        QCOMPARE(f.view->state().currentTrack, 3u);
        QCOMPARE(f.checkpoints(), 1u);

        QVERIFY(!drop(mime::kFileEntry, "5", f.onRuler(50)));   // the ruler takes nothing
        QVERIFY(!drop(mime::kFileEntry, "1024", f.at(50, 3)));  // no such entry
        QCOMPARE(f.checkpoints(), 1u);

        f.arrange().templates[2] = timeline::testing::usedEvent(0, 7);
        f.arrange().templates[2].flags |= kelvane::kEventSelected;
        QVERIFY(drop(mime::kTemplateSlot, "2", f.at(20, 3)));
        QCOMPARE(f.starts(3), Starts({20, 50}));
        QCOMPARE(f.track(3).Events()[0].fileId, 7);
        QCOMPARE(f.selected(3), Starts{});
        QCOMPARE(f.checkpoints(), 2u);

        // Auto extend: a drop past the end makes the project longer.
        f.view->horizontalScrollBar()->setValue(f.view->horizontalScrollBar()->maximum());
        QVERIFY(drop(mime::kFileEntry, "1", f.at(1005, 4)));
        QCOMPARE(f.doc.GetProject().settings.length, 1005u);
        f.view->runCommand(CommandId::AutoExtend);
        QVERIFY(drop(mime::kFileEntry, "1", f.at(1010, 4)));
        QCOMPARE(f.doc.GetProject().settings.length, 1005u);
    }

    void zoomKeepsTheCursorInPlaceWithinItsLimits() {
        TimelineFixture f;
        f.view->moveCursorTo(150);  // frame 150 at zoom 4: 1200, shown 100 pixels from the left
        QCOMPARE(f.view->scrollX(), 1100);
        f.view->runCommand(CommandId::ZoomIn);
        QCOMPARE(f.view->state().zoom, 2u);
        QCOMPARE(f.view->scrollX(), 2300);
        f.view->runCommand(CommandId::ZoomIn);
        f.view->runCommand(CommandId::ZoomIn);
        QCOMPARE(f.view->state().zoom, 1u);
        CommandState state;
        QVERIFY(f.view->commandState(CommandId::ZoomIn, state));
        QVERIFY(!state.enabled);
        for (int i = 0; i < 12; ++i) {
            f.view->runCommand(CommandId::ZoomOut);
        }
        QCOMPARE(f.view->state().zoom, 1024u);
        QVERIFY(f.view->commandState(CommandId::ZoomOut, state));
        QVERIFY(!state.enabled);

        // The context menu greys "縮小(&O)" from 256 on; the command itself still works.
        f.view->runCommand(CommandId::ZoomIn);
        f.view->runCommand(CommandId::ZoomIn);
        QCOMPARE(f.view->state().zoom, 256u);
        std::unique_ptr<QMenu> menu(f.view->createContextMenu(nullptr));
        QStringList greyed;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && !action->isEnabled()) {
                greyed << action->text();
            }
        }
        QCOMPARE(greyed, QStringList{QStringLiteral("縮小(&O)")});
        QVERIFY(f.view->commandState(CommandId::ZoomOut, state));
        QVERIFY(state.enabled);
        QCOMPARE(menu->actions().size(), 17);  // the track's mute and its separator included
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("プロパティ(&S)..."));

        f.view->runCommand(CommandId::AllTracks);
        QCOMPARE(f.view->state().mode, Mode::TrackDetail);
    }

    void optionsAreWrittenBackAtOnce() {
        QTemporaryDir dir;
        kelvane::ProfileFile profile(dir.filePath(QStringLiteral("kelvane.INI")).toStdU16String());
        QVERIFY(profile.WriteInt("TrackView", "AutoExtend", 0));
        TimelineFixture f;
        TimelineView view(f.doc, &profile);
        QVERIFY(view.state().preview);
        QVERIFY(!view.state().autoExtend);
        view.runCommand(CommandId::PreviewToggle);
        view.runCommand(CommandId::AutoExtend);
        // A view built now, while the first one still lives, finds what the user set.
        TimelineView rebuilt(f.doc, &profile);
        QVERIFY(!rebuilt.state().preview);
        QVERIFY(rebuilt.state().autoExtend);
        CommandState state;
        QVERIFY(rebuilt.commandState(CommandId::PreviewToggle, state));
        QVERIFY(!state.checked);
        QVERIFY(!rebuilt.commandState(CommandId::FileSave, state));
    }
};

QTEST_MAIN(TimelineEditingTest)
#include "timeline_editing_test.moc"

#include <QFile>
#include <QMenu>
#include <QtTest>

#include "model/Document.h"
#include "render/PixelImage.h"
#include "ui/frame/ActivePaneFrame.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/lists/FileListView.h"
#include "ui/preview/PreviewImageFile.h"
#include "ui/timeline/TimelineView.h"

using namespace kelvane;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Two pictures in the fixture's folder, added to the document as a drop would add them.
void addPictures(frame::ShellFixture& fixture) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < 2; ++i) {
        PixelImage image;
        QVERIFY(image.Create(16 + 8 * i, 8, 32));
        const QString path = fixture.path(QStringLiteral("p%1.bmp").arg(i));
        QVERIFY(writePreviewImage(path.toStdU16String(), image));
        paths.push_back(path.toStdU16String());
    }
    FileSelection selection;
    QVERIFY(fixture.session().document().Files().AddDroppedFiles(paths, selection));
}

// Where two saved files first differ ("" when they are the same), for a readable failure.
QString difference(const QString& a, const QString& b) {
    const QByteArray x = readAll(a);
    const QByteArray y = readAll(b);
    if (x == y) {
        return {};
    }

    qsizetype at = 0;
    while (at < x.size() && at < y.size() && x[at] == y[at]) {
        ++at;
    }
    return QStringLiteral("sizes %1 and %2, first difference at byte %3")
        .arg(x.size())
        .arg(y.size())
        .arg(at);
}

void pressInWindow(MainWindow& window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* target =
        QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &window;
    QTest::keyClick(target, key, modifiers);
}

// Runs the context-menu item `text` of the menu that opens next.
void chooseFromNextMenu(const QString& text, bool* found) {
    QTimer::singleShot(0, [text, found] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return;
        }
        for (QAction* action : menu->actions()) {
            if (action->text() == text && action->isEnabled()) {
                *found = true;
                action->trigger();
            }
        }
        menu->close();
    });
}

}  // namespace

// The window as a keyboard user meets it with the program's own panes.
class PaneKeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void openingAndSavingLeavesTheProjectAsItWas() {
        frame::ShellFixture fixture;
        Document& doc = fixture.session().document();
        addPictures(fixture);
        QVERIFY(doc.Templates().DropFile(0, 0));
        QVERIFY(doc.Templates().DropFile(1, 1));
        QVERIFY(doc.Templates().DropFile(5, 0));
        doc.Templates().Select(
            [](uint32_t slot, const EventTemplate&) { return slot == 1 || slot == 5; });
        QVERIFY(doc.Timeline().DropFile(0, 0, 0, true));
        QVERIFY(doc.Timeline().DropFile(0, 1, 10, true));
        QVERIFY(doc.Timeline().DropFile(3, 0, 5, true));
        doc.Timeline().Select(0, [](uint32_t index, const TrackEvent&) { return index == 1; });
        doc.Timeline().SelectAll(3);
        const QString original = fixture.path(QStringLiteral("original.xqm"));
        QVERIFY(doc.SaveDocument(original.toStdU16String()));

        QVERIFY(fixture.session().openDocument(original));
        MainWindow& window = fixture.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        const QString opened = fixture.path(QStringLiteral("opened.xqm"));
        QVERIFY(doc.SaveDocument(opened.toStdU16String()));
        QCOMPARE(difference(opened, original), QString());

        // The user makes a file current, then goes through every pane and back by key.
        window.activatePane(1);
        pressInWindow(window, Qt::Key_Down);
        for (int i = 1; i <= 4; ++i) {
            pressInWindow(window, Qt::Key_F6);
            QCOMPARE(window.activePaneIndex(), (1 + i) % 4);
        }
        for (int i = 1; i <= 4; ++i) {
            pressInWindow(window, Qt::Key_F6, Qt::ShiftModifier);
            QCOMPARE(window.activePaneIndex(), (5 - i) % 4);
        }
        QCoreApplication::processEvents();
        const QString visited = fixture.path(QStringLiteral("visited.xqm"));
        QVERIFY(doc.SaveDocument(visited.toStdU16String()));
        QCOMPARE(difference(visited, original), QString());
        QVERIFY(!doc.IsModified());
    }

    void theActivePaneWearsAFrameThatKeysAndClicksMove() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaneGrid* grid = window.paneGrid();
        const ActivePaneFrame* frame = grid->activeFrame();
        auto framed = [&](int index) {
            const QWidget* pane = grid->pane(index);
            return frame->framedPane() == pane && frame->isVisible() &&
                   frame->geometry() ==
                       QRect(pane->mapTo(grid, QPoint(0, 0)), pane->size())
                           .adjusted(-ActivePaneFrame::kWidth, -ActivePaneFrame::kWidth,
                                     ActivePaneFrame::kWidth, ActivePaneFrame::kWidth);
        };
        window.activatePane(0);
        QVERIFY(framed(0));
        pressInWindow(window, Qt::Key_F6);
        QVERIFY(framed(1));
        pressInWindow(window, Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(framed(0));
        auto* timeline = static_cast<QAbstractScrollArea*>(grid->pane(3));
        QTest::mouseClick(timeline->viewport(), Qt::LeftButton, {}, QPoint(40, 60));
        QCOMPARE(window.activePaneIndex(), 3);
        QVERIFY(framed(3));

        // It follows the bars, and it is two pixels of the highlight colour around the pane.
        grid->setBarPositions(400, 300);
        QCoreApplication::processEvents();
        QVERIFY(framed(3));
        const QImage shot = window.grab().toImage();
        const QPoint corner = grid->pane(3)->mapTo(&window, QPoint(0, 0));
        const QRgb highlight = window.palette().color(QPalette::Highlight).rgb();
        const int middle = grid->pane(3)->height() / 2;
        for (int x = 1; x <= ActivePaneFrame::kWidth; ++x) {
            QCOMPARE(shot.pixel(corner + QPoint(-x, middle)), highlight);
        }
        QVERIFY(shot.pixel(corner + QPoint(0, middle)) != highlight);
    }

    void insertAndTheMenuPutTheCurrentFileOnTheTimelineAsADrop() {
        frame::ShellFixture fixture;
        Document& doc = fixture.session().document();
        addPictures(fixture);
        MainWindow& window = fixture.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* files = qobject_cast<FileListView*>(window.paneGrid()->pane(1));
        auto* timeline = qobject_cast<TimelineView*>(window.paneGrid()->pane(3));
        QVERIFY(files != nullptr && timeline != nullptr);

        // The timeline's cursor at frame 3 of track 2, in a project 40 frames long.
        QVERIFY(doc.Timeline().DropFile(9, 0, 40, true));
        window.activatePane(3);
        for (int i = 0; i < 3; ++i) {
            pressInWindow(window, Qt::Key_Right);
        }
        pressInWindow(window, Qt::Key_Down, Qt::ShiftModifier);
        pressInWindow(window, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(timeline->state().cursor, 3u);
        QCOMPARE(timeline->state().currentTrack, 2u);

        // The second file made current by key, then Insert.
        window.activatePane(1);
        pressInWindow(window, Qt::Key_Down);
        QCOMPARE(files->selection().cursor, 1u);
        pressInWindow(window, Qt::Key_Insert);
        const Track& track = doc.GetProject().tracks[2];
        QCOMPARE(track.Count(), 1u);
        // Exactly the event a drop of the file at that place makes.
        QVERIFY(doc.Timeline().DropFile(7, 1, 3, true));
        const TrackEvent& dropped = doc.GetProject().tracks[7].Events()[0];
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&track.Events()[0]), sizeof(TrackEvent)),
                 QByteArray(reinterpret_cast<const char*>(&dropped), sizeof(TrackEvent)));
        doc.Undo();  // the drop on track 7
        doc.Undo();  // Insert: one step
        QCOMPARE(doc.GetProject().tracks[2].Count(), 0u);
        doc.Redo();
        QCOMPARE(doc.GetProject().tracks[2].Count(), 1u);

        // The context menu's item does the same.
        bool found = false;
        chooseFromNextMenu(QStringLiteral("タイムラインに配置(&T)"), &found);
        const QPoint at = files->visualRect(files->model()->index(0, 0)).center();
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, files->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(files->viewport(), &menu);
        QVERIFY(found);
        QCOMPARE(doc.GetProject().tracks[2].Count(), 2u);
    }
};

QTEST_MAIN(PaneKeyboardTest)
#include "pane_keyboard_test.moc"

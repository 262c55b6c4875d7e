// What the timeline paints: the bars as if every bar were drawn, exposed parts that add up to the
// whole, the ruler's ticks and marks, and the detail mode's boxes.
#include <QtTest>

#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QScrollBar>

#include "TimelineTestSupport.h"
#include "ui/timeline/DetailLayout.h"
#include "ui/timeline/TimelineColours.h"
#include "ui/timeline/TrackBars.h"

using timeline::testing::keepScreenshot;
using timeline::testing::paintView;
using timeline::testing::TimelineFixture;
using timeline::testing::usedEvent;

namespace {

// Every bar drawn in order, one column at a time: -1 background, 0 plain, 1 selected.
std::vector<int> drawEveryBar(const std::vector<kelvane::TrackEvent>& events, uint32_t zoom,
                              int64_t left, int64_t right) {
    std::vector<int> columns(size_t(right - left), -1);
    for (size_t i = 0; i < events.size(); ++i) {
        const int64_t from = timeline::frameToX(events[i].start, zoom);
        const int64_t to =
            i + 1 < events.size() ? timeline::frameToX(events[i + 1].start, zoom) : right;
        for (int64_t x = std::max(from, left); x < std::min(to, right); ++x) {
            columns[size_t(x - left)] = (events[i].flags & kelvane::kEventSelected) ? 1 : 0;
        }
    }
    return columns;
}

std::vector<int> fromSpans(const std::vector<kelvane::TrackEvent>& events, uint32_t zoom,
                           int64_t left, int64_t right) {
    std::vector<int> columns(size_t(right - left), -1);
    timeline::forEachBarSpan(events, zoom, left, right, [&](const timeline::BarSpan& span) {
        QVERIFY(span.left >= left && span.right <= right && span.left < span.right);
        for (int64_t x = span.left; x < span.right; ++x) {
            QCOMPARE(columns[size_t(x - left)], -1);  // no column painted twice
            columns[size_t(x - left)] = span.selected ? 1 : 0;
        }
    });
    return columns;
}

}  // namespace

class TimelinePaintingTest : public QObject {
    Q_OBJECT
  private slots:
    void anEmptyTrackInDetailStillShowsItsRulerLaneAndTitle() {
        TimelineFixture fixture;
        fixture.setEvents(0, {0, 30});
        // Track 1 never held an event; track 2 held one that was taken away again.
        QVERIFY(fixture.track(2).Reset(0));
        for (uint32_t current : {1u, 2u}) {
            fixture.click(fixture.at(10, current));
            QCOMPARE(fixture.view->state().currentTrack, current);
            fixture.view->runCommand(CommandId::AllTracks);
            QCOMPARE(fixture.view->state().mode, timeline::Mode::TrackDetail);
            const QImage image = paintView(*fixture.view, QSize(128, 128));
            keepScreenshot(image, QStringLiteral("timeline_empty_track_detail"));
            QCOMPARE(QColor(image.pixel(200, timeline::kLabelBandBottom + 4)),
                     timeline::colours::kRulerTicks);
            QCOMPARE(QColor(image.pixel(200, timeline::kDetailLaneTop + 8)),
                     timeline::colours::kDetailLane);
            // The cursor's line at frame 0 and some ink where "Track 00N" stands.
            QCOMPARE(QColor(image.pixel(0, timeline::kRulerHeight - 2)),
                     timeline::colours::kCursor);
            bool ink = false;
            for (int y = timeline::kDetailLaneBottom; y < timeline::kDetailRowsTop; ++y) {
                for (int x = 0; x < 80; ++x) {
                    ink = ink || qGray(image.pixel(x, y)) < 128;
                }
            }
            QVERIFY(ink);
            fixture.view->runCommand(CommandId::AllTracks);
        }
    }

    void barsComeOutAsIfEveryBarWereDrawn() {
        QRandomGenerator random(7);
        std::vector<kelvane::TrackEvent> events;
        uint32_t start = 3;
        for (int i = 0; i < 5000; ++i) {
            // Clusters of events on one frame, short gaps and long ones.
            const uint32_t gap = random.bounded(10) < 3   ? 0
                                 : random.bounded(10) < 8 ? 1 + random.bounded(40)
                                                          : random.bounded(3000);
            start += gap;
            kelvane::TrackEvent event = usedEvent(start);
            if (random.bounded(3) == 0) {
                event.flags |= kelvane::kEventSelected;
            }
            events.push_back(event);
        }
        for (uint32_t zoom : {1u, 4u, 32u, 256u, 1024u}) {
            for (int64_t left : {int64_t(0), int64_t(37), int64_t(2001), int64_t(40000)}) {
                const int64_t right = left + 1920;
                QCOMPARE(fromSpans(events, zoom, left, right),
                         drawEveryBar(events, zoom, left, right));
            }
        }
        // A track whose first event is not in use draws nothing.
        events[0].flags = 0;
        QCOMPARE(fromSpans(events, 4, 0, 100), std::vector<int>(100, -1));
    }

    void exposedPartsAddUpToTheWhole() {
        TimelineFixture f(QSize(640, 480));
        f.setEvents(0, {0, 3, 3, 50, 51, 52, 400});
        f.setEvents(2, {10, 20});
        f.setEvents(40, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        f.track(0).Events()[3].flags |= kelvane::kEventSelected;
        // Zoomed out, 160 spans across the window but fewer than 32 in a tile: the whole paint
        // takes the row-strip path, the tiles fill span by span, and both must agree.
        std::vector<kelvane::TrackEvent> dense;
        for (uint32_t i = 0; i < 400; ++i) {
            dense.push_back(usedEvent(i * 128));
            dense.back().flags |= i % 2 ? kelvane::kEventSelected : 0;
        }
        QVERIFY(f.track(3).InsertSorted(dense.data(), uint32_t(dense.size())));
        f.drag(f.onRuler(12), f.onRuler(30));
        for (uint32_t zoom : {4u, 1024u}) {
            while (f.view->state().zoom < zoom) {
                f.view->runCommand(CommandId::ZoomOut);
            }
            f.view->verticalScrollBar()->setValue(37);
            f.view->horizontalScrollBar()->setValue(zoom == 4 ? 5 : 0);
            const QImage whole = paintView(*f.view, f.viewport()->size());
            QCOMPARE(paintView(*f.view, QSize(97, 33)), whole);
            keepScreenshot(whole, QStringLiteral("timeline_all_tracks_zoom%1").arg(zoom));
            f.view->runCommand(CommandId::AllTracks);  // the current track in detail
            const QImage detail = paintView(*f.view, f.viewport()->size());
            QCOMPARE(paintView(*f.view, QSize(61, 29)), detail);
            keepScreenshot(detail, QStringLiteral("timeline_detail_zoom%1").arg(zoom));
            f.view->runCommand(CommandId::AllTracks);
        }
    }

    void scrollingShowsWhatAFreshPaintShows() {
        // What scrolling leaves on screen (moved pixels plus the repainted strips: new content,
        // the pinned ruler, the pinned track numbers) must equal a paint from scratch.
        TimelineFixture f(QSize(640, 480));
        f.setEvents(0, {0, 3, 50, 52, 400});
        f.setEvents(5, {10, 20, 200});
        f.track(5).Events()[1].flags |= kelvane::kEventSelected;
        f.drag(f.onRuler(12), f.onRuler(30));
        QScrollBar* h = f.view->horizontalScrollBar();
        QScrollBar* v = f.view->verticalScrollBar();
        const auto onScreen = [&] {
            QApplication::processEvents();
            const QPoint origin = f.viewport()->mapTo(f.view->window(), QPoint(0, 0));
            return f.view->window()
                ->screen()
                ->grabWindow(f.view->window()->winId(), origin.x(), origin.y(),
                             f.viewport()->width(), f.viewport()->height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        for (const QPoint step : {QPoint(13, 0), QPoint(0, 37), QPoint(-5, 0), QPoint(200, 3),
                                  QPoint(0, -20), QPoint(-150, 0)}) {
            h->setValue(h->value() + step.x());
            v->setValue(v->value() + step.y());
            QCOMPARE(onScreen(), paintView(*f.view, f.viewport()->size()));
        }
    }

    void ticksAndScaleMarksFollowZoomAndDialog() {
        TimelineFixture f;
        const QColor tickBand(192, 192, 192);
        // Frame 3 at zoom 4 lies at x 24: a frame tick in rows 28-31, none once frames are 4
        // pixels apart.
        QCOMPARE(paintView(*f.view, f.viewport()->size()).pixelColor(24, 29), QColor(Qt::black));
        f.view->runCommand(CommandId::ZoomOut);
        QCOMPARE(paintView(*f.view, f.viewport()->size()).pixelColor(12, 29), tickBand);
        f.view->runCommand(CommandId::ZoomIn);

        // "目盛りの設定": a count out of range is refused and the dialog stays; 4 per second puts
        // a mark every quarter second (7.5 frames: x 60 at zoom 4).
        QString refused;
        const auto answer = [&](const QString& count, bool expectRefusal) {
            QTimer::singleShot(0, [&, count, expectRefusal] {
                QWidget* dialog = QApplication::activeModalWidget();
                QVERIFY(dialog);
                QCOMPARE(dialog->windowTitle(), QStringLiteral("目盛りの設定"));
                const auto edits = dialog->findChildren<QLineEdit*>();
                QCOMPARE(edits.size(), 2);
                edits[0]->setText(count);
                edits[1]->setText(QStringLiteral("1"));
                if (expectRefusal) {
                    QTimer::singleShot(0, [&] {
                        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                        QVERIFY(box);
                        refused = box->text();
                        box->accept();
                        QTimer::singleShot(0, [] {
                            // Still open after the refusal: now a count it takes.
                            QWidget* again = QApplication::activeModalWidget();
                            again->findChildren<QLineEdit*>()[0]->setText(QStringLiteral("4"));
                            QMetaObject::invokeMethod(again, "accept");
                        });
                    });
                }
                QMetaObject::invokeMethod(dialog, "accept");
            });
            f.view->runCommand(CommandId::ScaleMarks);
        };
        answer(QStringLiteral("2000"), true);
        QCOMPARE(refused, QStringLiteral("0 から 1000 までの数字を入力してください。"));
        QCOMPARE(f.view->state().scale.interval, kelvane::RefTime(2'500'000));
        const QImage marked = paintView(*f.view, f.viewport()->size());
        QCOMPARE(marked.pixelColor(60, 40), QColor(128, 0, 128));
        QCOMPARE(marked.pixelColor(61, 40), tickBand);
        answer(QStringLiteral("0"), false);
        QCOMPARE(f.view->state().scale.interval, kelvane::RefTime(0));
        QCOMPARE(paintView(*f.view, f.viewport()->size()).pixelColor(60, 40), tickBand);
    }

    void detailRowsListEventsFromTheCursorOn() {
        kelvane::Track track;
        std::vector<kelvane::TrackEvent> events;
        for (uint32_t start : {0u, 10u, 20u, 30u}) {
            events.push_back(usedEvent(start, int32_t(start)));
        }
        QVERIFY(track.InsertSorted(events.data(), uint32_t(events.size())));
        timeline::TimelineState state;
        state.cursor = 15;
        const auto boxes = timeline::layoutDetailBoxes(track, state, QRect(0, 0, 800, 600));
        std::vector<std::pair<uint32_t, int>> rows;
        size_t lanes = 0;
        for (const auto& box : boxes) {
            if (box.kind == timeline::ItemBox::Kind::Row) {
                rows.emplace_back(box.event, box.rect.top());
            } else {
                ++lanes;
            }
        }
        QCOMPARE(lanes, size_t(4));
        QCOMPARE(rows, (std::vector<std::pair<uint32_t, int>>{{2, 96}, {3, 112}}));
        // The last lane box reaches 200 pixels past the right edge; a click right of the last
        // start hits the last event.
        QCOMPARE(boxes[3].rect.right() + 1, 800 + timeline::kLookAhead);
        QCOMPARE(timeline::hitDetailBox(boxes, QPoint(700, 60)), 3);
        QCOMPARE(timeline::hitDetailBox(boxes, QPoint(700, 85)), -1);
        QCOMPARE(timeline::detailRowText(events[2], 30.0), QStringLiteral(" 00:00.666 ID:0020"));
    }
};

QTEST_MAIN(TimelinePaintingTest)
#include "timeline_painting_test.moc"

#pragma once

#include <QtTest>

#include <QDir>
#include <QImage>
#include <QPainter>

#include <initializer_list>
#include <memory>
#include <vector>

#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/DocumentServices.h"
#include "support/ScriptedPrompt.h"
#include "ui/timeline/TimelineView.h"

namespace timeline::testing {

// No media and no project files: the timeline's tests need neither.
class NoServices : public kelvane::DocumentServices {
  public:
    bool ReadProject(std::u16string_view, kelvane::Project&) override { return false; }
    bool WriteProject(std::u16string_view, kelvane::Project&) override { return false; }
    bool OpenFile(const kelvane::Project&, kelvane::FileEntry&, kelvane::FileKind,
                  std::u16string_view) override {
        return false;
    }
    bool MakeText(kelvane::FileEntry&, std::u16string_view, uint32_t,
                  const kelvane::LogFont&) override {
        return false;
    }
};

inline kelvane::TrackEvent usedEvent(uint32_t start, int32_t fileId = 1) {
    kelvane::TrackEvent event{};
    event.flags = kelvane::kEventUsed | kelvane::kEventParametric;
    event.start = start;
    event.fileId = fileId;
    event.scale = 1.0f;
    return event;
}

// A document with a length of 1000 frames at 30 frames per second, and a timeline over it in a
// shown window of 800 x 600.
struct TimelineFixture {
    NoServices services;
    kelvane::testing::ScriptedPrompt prompt;
    kelvane::MemoryClipboard clipboard;
    kelvane::Document doc{services, prompt, clipboard};
    std::unique_ptr<TimelineView> view;

    explicit TimelineFixture(QSize size = QSize(800, 600)) {
        arrange().settings.length = 1000;
        view = std::make_unique<TimelineView>(doc, nullptr);
        view->resize(size);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    }

    // Sets up the project as a test needs it; the view under test changes it only through the
    // document.
    kelvane::Project& arrange() { return doc.ProjectForRendering(); }
    kelvane::Track& track(uint32_t i) { return arrange().tracks[i]; }

    void setEvents(uint32_t i, std::initializer_list<uint32_t> starts) {
        std::vector<kelvane::TrackEvent> events;
        for (uint32_t start : starts) {
            events.push_back(usedEvent(start, int32_t(events.size())));
        }
        QVERIFY(track(i).Reset(0));
        QVERIFY(track(i).InsertSorted(events.data(), uint32_t(events.size())));
        doc.UpdateAllViews(nullptr, kelvane::UpdateHint::Timeline);
    }

    std::vector<uint32_t> starts(uint32_t i) {
        std::vector<uint32_t> result;
        for (const auto& event : track(i).EventSpan()) {
            result.push_back(event.start);
        }
        return result;
    }

    std::vector<uint32_t> selected(uint32_t i) {
        std::vector<uint32_t> result;
        const auto events = track(i).EventSpan();
        for (uint32_t k = 0; k < events.size(); ++k) {
            if (events[k].flags & kelvane::kEventSelected) {
                result.push_back(k);
            }
        }
        return result;
    }

    QWidget* viewport() { return view->viewport(); }

    // The window point over a frame on a track's row (all-tracks mode, not scrolled vertically).
    QPoint at(uint32_t frame, uint32_t trackIndex) {
        const int x = int(timeline::frameToX(frame, view->state().zoom) - view->scrollX());
        return QPoint(x, int(timeline::trackRowTop(int(trackIndex)) + 8 - view->scrollY()));
    }
    QPoint onRuler(uint32_t frame) {
        return QPoint(int(timeline::frameToX(frame, view->state().zoom) - view->scrollX()), 30);
    }

    void click(QPoint p, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(viewport(), Qt::LeftButton, modifiers, p);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mousePress(viewport(), Qt::LeftButton, modifiers, from);
        QTest::mouseMove(viewport(), (from + to) / 2);
        QTest::mouseMove(viewport(), to);
        QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, to);
    }
    uint32_t checkpoints() const { return doc.History().Position(); }
};

// For a person to look at: build/screenshots/<name>.png.
inline void keepScreenshot(const QImage& image, const QString& name) {
    const QString folder =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// The view's viewport painted tile by tile, each tile an exposed rectangle of its own.
inline QImage paintView(TimelineView& view, QSize tile) {
    QImage image(view.viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int y = 0; y < image.height(); y += tile.height()) {
        for (int x = 0; x < image.width(); x += tile.width()) {
            const QRect exposed(QPoint(x, y), tile);
            painter.setClipRect(exposed);
            view.paintInto(painter, exposed);
        }
    }
    return image;
}

}  // namespace timeline::testing

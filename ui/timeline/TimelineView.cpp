// The timeline pane's frame: construction, layout, scrolling, painting and the document's updates.
#include "ui/timeline/TimelineView.h"

#include <algorithm>

#include <QFocusEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include "media/audio/SoundPeaksCache.h"
#include "model/Document.h"
#include "model/TimeFormat.h"
#include "platform/ProfileFile.h"
#include "ui/timeline/GoToFrameDialog.h"

using namespace timeline;

namespace {

constexpr const char* kSection = "TrackView";

QFont viewFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                      QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("DejaVu Sans Mono"),
                      QStringLiteral("Monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    return font;
}

}  // namespace

TimelineView::TimelineView(kelvane::Document& doc, kelvane::ProfileFile* profile, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), profile_(profile), painter_(viewFont()) {
    if (profile_) {
        state_.preview = profile_->ReadInt(kSection, "Preview", 1) != 0;
        state_.autoExtend = profile_->ReadInt(kSection, "AutoExtend", 1) != 0;
    }
    setAccessibleName(QStringLiteral("タイムライン"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    doc_.observe(
        this, [this] { onDocumentUpdate(); },
        [this](uint32_t track) {
            if (track == state_.currentTrack) {
                viewport()->update();
            }
        });
    setPeaksCache(painter_.waves().cache());
    relayout();
}

TimelineView::~TimelineView() = default;

void TimelineView::setPeaksCache(kelvane::SoundPeaksCache& cache) {
    peaksMade_.Cancel();
    painter_.waves().setCache(cache);
    // Heard on the cache's thread; the repaint is posted to this one.
    peaksMade_ = cache.Listen([this] {
        QMetaObject::invokeMethod(
            this, [this] { viewport()->update(); }, Qt::QueuedConnection);
    });
    viewport()->update();
}

int64_t TimelineView::scrollX() const {
    return horizontalScrollBar()->value();
}

int64_t TimelineView::scrollY() const {
    return verticalScrollBar()->value();
}

int64_t TimelineView::documentWidth() const {
    return frameToX(doc_.length(), state_.zoom) + kScrollSlack;
}

uint32_t TimelineView::frameUnder(int clientX) const {
    return xToFrame(scrollX() + clientX, state_.zoom);
}

int64_t TimelineView::documentY(int clientY) const {
    return scrollY() + clientY;
}

void TimelineView::relayout() {
    const QSize client = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const int64_t width = documentWidth();
    h->setRange(0, int(std::max<int64_t>(0, width - client.width())));
    v->setRange(0, std::max(0, kDocumentHeight - client.height()));
    h->setPageStep(std::max(16, client.width() / 16 * 16));
    v->setPageStep(std::max(16, client.height() / 16 * 16));
    h->setSingleStep(16);
    v->setSingleStep(16);
    viewport()->update();
}

void TimelineView::onDocumentUpdate() {
    // Whatever changed, the waves kept from earlier paints are worked out again.
    painter_.waves().forget();
    const uint32_t count = doc_.track(state_.currentTrack).Count();
    state_.currentEvent = count == 0 ? 0 : std::min(state_.currentEvent, count - 1);
    relayout();
    noteCursor();  // the rate may have changed
}

void TimelineView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void TimelineView::scrollContentsBy(int dx, int dy) {
    if (state_.mode == Mode::TrackDetail) {
        // The event rows are pinned sideways and the header scrolls away: all of it changes.
        viewport()->update();
        return;
    }
    // Move what is already drawn and repaint only what came into view, plus the strips that stay
    // in place while the rest scrolls: the ruler at the top, the track numbers at the left.
    viewport()->scroll(dx, dy);
    const int w = viewport()->width();
    const int h = viewport()->height();
    if (dy != 0) {
        viewport()->update(0, 0, w, kRulerHeight + std::abs(dy));
    }
    if (dx != 0) {
        viewport()->update(0, 0, painter_.numberStripWidth() + std::max(dx, 0), h);
    }
}

void TimelineView::paintInto(QPainter& painter, const QRect& exposed) {
    PaintRequest request;
    request.scrollX = scrollX();
    request.scrollY = scrollY();
    request.client = viewport()->size();
    request.exposed = exposed;
    if (rulerDrag_) {
        request.drag.rulerRange = rulerDrag_->rangeAt(dragFrame_);
    }
    if (eventDrag_ && eventDrag_->track() == state_.currentTrack) {
        request.drag.eventShift = eventDrag_->shiftAt(dragFrame_);
    }
    painter_.paint(painter, state_, doc_, request);
}

void TimelineView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    paintInto(painter, event->rect());
}

void TimelineView::keepVisible(int64_t x) {
    const int64_t left = scrollX();
    if (x < left || x >= left + viewport()->width()) {
        scrollToLeft(x - 100);
    }
}

void TimelineView::scrollToLeft(int64_t x) {
    QScrollBar* h = horizontalScrollBar();
    h->setValue(int(std::clamp<int64_t>(x, h->minimum(), h->maximum())));
}

void TimelineView::followPlayback(uint32_t frame, bool keepSelection) {
    const int64_t oldX = frameToX(state_.cursor, state_.zoom) - scrollX();
    state_.cursor = frame;
    if (!keepSelection) {
        state_.selectionStart = state_.selectionEnd = frame;
    }
    const int64_t x = frameToX(frame, state_.zoom);
    const int64_t left = scrollX();
    if (x < left || x >= left + viewport()->width()) {
        // A page on: the cursor starts again at the left edge (a loop's return too). What was
        // drawn moves, the old cursor with it, so all of it is drawn again.
        scrollToLeft(x);
        viewport()->update();
        noteCursor();
        return;
    }
    if (state_.mode != Mode::AllTracks) {
        viewport()->update();
        noteCursor();
        return;
    }
    // The cursor's triangle is seven pixels wide about its line, all of it in the ruler.
    const auto strip = [this](int64_t at) {
        if (at >= -8 && at <= viewport()->width() + 8) {
            viewport()->update(int(at) - 4, 0, 9, kRulerHeight);
        }
    };
    strip(oldX);
    strip(x - scrollX());
    noteCursor();
}

QString TimelineView::cursorText() const {
    return QString::fromStdU16String(kelvane::FormatFrameTime(state_.cursor, doc_.frameRate())) +
           QStringLiteral(" / ") + QString::number(state_.cursor);
}

void TimelineView::noteCursor() {
    const QString text = cursorText();
    if (text != shownCursor_) {
        shownCursor_ = text;
        emit cursorTextChanged(text);
    }
}

bool TimelineView::event(QEvent* event) {
    const bool handled = QAbstractScrollArea::event(event);
    noteCursor();
    return handled;
}

bool TimelineView::viewportEvent(QEvent* event) {
    const bool handled = QAbstractScrollArea::viewportEvent(event);
    if (event->type() != QEvent::Paint) {
        noteCursor();
    }
    return handled;
}

void TimelineView::moveCursorTo(uint32_t frame) {
    state_.cursor = std::min(frame, doc_.length());
    state_.selectionStart = state_.selectionEnd = state_.cursor;
    postFramePreview();
    keepVisible(frameToX(state_.cursor, state_.zoom));
    invalidateCursorArea();
    noteCursor();
}

void TimelineView::goToFrame() {
    GoToFrameDialog dialog(state_.cursor, doc_.length(), doc_.frameDuration(), this);
    if (dialog.exec() == QDialog::Accepted) {
        moveCursorTo(dialog.frame());
    }
}

void TimelineView::invalidateCursorArea() {
    if (state_.mode == Mode::AllTracks) {
        viewport()->update(0, 0, viewport()->width(), kRulerHeight);
    } else {
        viewport()->update();
    }
}

void TimelineView::focusInEvent(QFocusEvent* event) {
    doc_.clearDrag();
    QAbstractScrollArea::focusInEvent(event);
}

void TimelineView::focusOutEvent(QFocusEvent* event) {
    doc_.clearDrag();
    QAbstractScrollArea::focusOutEvent(event);
}

void TimelineView::setPreview(bool on) {
    state_.preview = on;
    if (profile_) {
        profile_->WriteInt(kSection, "Preview", on ? 1 : 0);
    }
}

void TimelineView::setAutoExtend(bool on) {
    state_.autoExtend = on;
    if (profile_) {
        profile_->WriteInt(kSection, "AutoExtend", on ? 1 : 0);
    }
}

void TimelineView::postFramePreview() {
    if (!state_.preview) {
        return;
    }
    if (state_.mode == Mode::AllTracks) {
        doc_.previewAllTracks(state_.cursor, this);
    } else {
        doc_.previewTrack(state_.currentTrack, state_.cursor, this);
    }
}

void TimelineView::postEventPreview(uint32_t event) {
    const kelvane::Track& track = doc_.track(state_.currentTrack);
    if (state_.preview && event < track.Count()) {
        doc_.previewEvent(track.Events()[event], this);
    }
}

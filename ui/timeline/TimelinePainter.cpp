#include "ui/timeline/TimelinePainter.h"

#include <algorithm>

#include <QFontMetrics>

#include "media/audio/SoundPeaksCache.h"
#include "model/TimeFormat.h"
#include "ui/timeline/TimelineColours.h"
#include "ui/timeline/TrackBars.h"

namespace timeline {

// Document rectangles are 64-bit (right and bottom exclusive); the painter gets window pixels.
struct TimelinePainter::Area {
    const TimelineState& state;
    const TimelineDocument& doc;
    const PaintRequest& request;
    int64_t left, top, right, bottom;          // the visible rectangle
    int64_t exLeft, exTop, exRight, exBottom;  // the exposed part of it
    int64_t rulerTop;                          // pinned in AllTracks, scrolls in detail

    void fill(QPainter& p, int64_t l, int64_t t, int64_t r, int64_t b, const QColor& c) const {
        l = std::max(l, exLeft);
        t = std::max(t, exTop);
        r = std::min(r, exRight);
        b = std::min(b, exBottom);
        if (l < r && t < b) {
            p.fillRect(
                QRect(int(l - request.scrollX), int(t - request.scrollY), int(r - l), int(b - t)),
                c);
        }
    }
    bool exposesRect(int64_t l, int64_t t, int64_t r, int64_t b) const {
        return l < exRight && r > exLeft && t < exBottom && b > exTop;
    }
    QPoint client(int64_t x, int64_t y) const {
        return QPoint(int(x - request.scrollX), int(y - request.scrollY));
    }
};

TimelinePainter::TimelinePainter(QFont font)
    : font_(std::move(font)), waves_(kelvane::SoundPeaksCache::Shared()) {
    const QFontMetrics metrics(font_);
    textOffset_ = (kRowHeight - metrics.height()) / 2;
    numberStripWidth_ = std::max(32, 4 + metrics.horizontalAdvance(QStringLiteral("000")) + 2);
}

const QStaticText& TimelinePainter::labelText(uint32_t frame, double frameRate) {
    if (frameRate != labelRate_ || labels_.size() > 4096) {
        labels_.clear();
        labelRate_ = frameRate;
    }
    auto it = labels_.find(frame);
    if (it == labels_.end()) {
        QStaticText text(QString::fromStdU16String(kelvane::FormatFrameTime(frame, frameRate)));
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font_);
        it = labels_.insert(frame, text);
    }
    return *it;
}

const QStaticText& TimelinePainter::numberText(uint32_t number, int digits) {
    const uint32_t key = number * 8 + uint32_t(digits);
    auto it = numbers_.find(key);
    if (it == numbers_.end()) {
        QString string = QStringLiteral("%1").arg(number, digits, 10, QLatin1Char('0'));
        if (digits == 4) {
            string.prepend(QLatin1Char(' '));
        }
        QStaticText text(string);
        text.setTextFormat(Qt::PlainText);
        text.prepare(QTransform(), font_);
        it = numbers_.insert(key, text);
    }
    return *it;
}

void TimelinePainter::paint(QPainter& painter, const TimelineState& state,
                            const TimelineDocument& doc, const PaintRequest& request) {
    const QRect exposed = request.exposed.intersected(QRect(QPoint(0, 0), request.client));
    Area a{state,
           doc,
           request,
           request.scrollX,
           request.scrollY,
           request.scrollX + request.client.width(),
           request.scrollY + request.client.height(),
           request.scrollX + exposed.left(),
           request.scrollY + exposed.top(),
           request.scrollX + exposed.left() + exposed.width(),
           request.scrollY + exposed.top() + exposed.height(),
           state.mode == Mode::AllTracks ? request.scrollY : 0};
    if (exposed.isEmpty()) {
        return;
    }
    painter.setFont(font_);
    painter.setPen(colours::kTick);
    a.fill(painter, a.exLeft, a.exTop, a.exRight, a.exBottom, colours::kWindow);
    waves_.begin(doc.project());
    if (state.mode == Mode::AllTracks) {
        paintRows(painter, a);
        paintCurrentTrackFrame(painter, a);
        if (request.drag.eventShift) {
            paintEventGhosts(painter, a, *request.drag.eventShift);
        }
        paintRuler(painter, a);
    } else {
        // A track without events still gets its ruler, lane and title: the user must see which
        // track the detail view shows even when there is nothing on it yet.
        paintRuler(painter, a);
        paintDetail(painter, a);
        if (request.drag.eventShift) {
            paintEventGhosts(painter, a, *request.drag.eventShift);
        }
    }
    waves_.end();
}

void TimelinePainter::paintRows(QPainter& p, const Area& a) {
    // Rows wholly under the pinned ruler are never seen.
    const int64_t from = std::max(a.exTop, a.top + kRulerHeight);
    const int first = int(std::max<int64_t>(0, (from - kRulerHeight) / kRowHeight));
    const int last =
        int(std::min<int64_t>(kTrackRows - 1, (a.exBottom - kRulerHeight) / kRowHeight));
    const bool numbersExposed = a.exLeft < a.left + numberStripWidth_;
    for (int i = first; i <= last; ++i) {
        const int64_t top = trackRowTop(i);
        const int64_t barTop = top + 1;
        const int64_t barBottom = top + kRowHeight - 1;
        if (!a.exposesRect(a.exLeft, barTop - 1, a.exRight, barBottom + 1)) {
            continue;
        }
        const bool current = uint32_t(i) == a.state.currentTrack;
        const QColor& background = current ? colours::kCurrentRow : colours::kRow;
        const kelvane::Track& track = a.doc.track(uint32_t(i));
        const auto events = track.EventSpan();
        spans_.clear();
        waved_.clear();
        std::span<const WaveColumn> rowWave;
        const auto addSpan = [&](const BarSpan& span) { spans_.push_back(span); };
        if (waves_.anyWave() && TimelineWaves::mergesColumns(a.state.zoom)) {
            forEachBarSpan(events, a.state.zoom, a.exLeft, a.exRight, addSpan);
            if (!spans_.empty()) {
                rowWave = waves_.rowColumns(uint32_t(i), track, a.state.zoom, a.exLeft, a.exRight,
                                            int(barBottom - barTop));
            }
            if (spans_.size() <= kRectSpanLimit &&
                std::none_of(rowWave.begin(), rowWave.end(),
                             [](const WaveColumn& c) { return c.top >= 0; })) {
                rowWave = {};
            }
        } else if (waves_.anyWave()) {
            forEachBarSpan(events, a.state.zoom, a.exLeft, a.exRight, addSpan,
                           [&](size_t j, int64_t left, int64_t right) {
                               if (waves_.hasWave(events[j].fileId)) {
                                   waved_.push_back(ShownEvent{uint32_t(j), left, right});
                               }
                           });
        } else {
            forEachBarSpan(events, a.state.zoom, a.exLeft, a.exRight, addSpan);
        }
        if (spans_.size() <= kRectSpanLimit && waved_.empty() && rowWave.empty()) {
            a.fill(p, a.left, barTop, a.right, barBottom, background);
            for (const BarSpan& span : spans_) {
                a.fill(p, span.left, barTop, span.right, barBottom,
                       span.selected ? colours::kSelectedBar : colours::kBar);
            }
        } else {
            paintRowStrip(p, a, track, barTop, barBottom, background, rowWave);
        }
        if (numbersExposed) {
            p.drawStaticText(a.client(a.left + 4, top + textOffset_), numberText(uint32_t(i), 3));
            if (a.doc.track(uint32_t(i)).Sound().muted) {
                const int64_t middle = top + kRowHeight / 2;
                a.fill(p, a.left + 2, middle, a.left + numberStripWidth_ - 2, middle + 2,
                       colours::kMutedTrack);
            }
        }
    }
}

// Zoomed out, a row breaks into hundreds of spans: one pixel row is coloured in memory, repeated
// down the bar's height and blitted in one piece, which leaves the same pixels as filling each
// span. Waves are drawn into the same piece, column by column: `rowWave` (from the exposed left
// edge) when given, else those of the events in `waved_`.
void TimelinePainter::paintRowStrip(QPainter& p, const Area& a, const kelvane::Track& track,
                                    int64_t barTop, int64_t barBottom, const QColor& background,
                                    std::span<const WaveColumn> rowWave) {
    const int64_t top = std::max(barTop, a.exTop);
    const int64_t bottom = std::min(barBottom, a.exBottom);
    const int width = int(a.exRight - a.exLeft);
    if (top >= bottom || width <= 0) {
        return;
    }
    const int height = int(bottom - top);
    if (strip_.width() < width || strip_.height() < height) {
        strip_ = QImage(std::max(width, strip_.width()), kRowHeight, QImage::Format_RGB32);
    }
    auto* line = reinterpret_cast<QRgb*>(strip_.scanLine(0));
    std::fill(line, line + width, background.rgb());
    const QRgb selected = colours::kSelectedBar.rgb();
    const QRgb plain = colours::kBar.rgb();
    for (const BarSpan& span : spans_) {
        std::fill(line + (span.left - a.exLeft), line + (span.right - a.exLeft),
                  span.selected ? selected : plain);
    }
    for (int y = 1; y < height; ++y) {
        std::copy(line, line + width, reinterpret_cast<QRgb*>(strip_.scanLine(y)));
    }
    QRgb* rows[kRowHeight];
    for (int y = 0; y < height; ++y) {
        rows[y] = reinterpret_cast<QRgb*>(strip_.scanLine(y));
    }
    const QRgb wave = colours::kWave.rgb();
    const QRgb selectedWave = colours::kSelectedWave.rgb();
    // Only the rows of the bar that the exposed rectangle holds are in the strip.
    const auto draw = [&](int x, WaveColumn column, QRgb ink) {
        const int64_t from = std::max(barTop + column.top, top);
        const int64_t to = std::min(barTop + column.bottom + 1, bottom);
        for (int64_t y = from; y < to; ++y) {
            rows[y - top][x] = ink;
        }
    };
    // A column takes the colour of the event whose bar shows there, as its bar does.
    for (size_t c = 0; c < rowWave.size(); ++c) {
        if (rowWave[c].top >= 0) {
            draw(int(c), rowWave[c], line[c] == selected ? selectedWave : wave);
        }
    }
    const auto events = track.EventSpan();
    const int barHeight = int(barBottom - barTop);
    for (const ShownEvent& shown : waved_) {
        if (!waves_.columns(track, shown.index, a.state.zoom, shown.left, shown.right, barHeight,
                            columns_)) {
            continue;
        }
        const QRgb ink =
            (events[shown.index].flags & kelvane::kEventSelected) ? selectedWave : wave;
        for (size_t c = 0; c < columns_.size(); ++c) {
            if (columns_[c].top >= 0) {
                draw(int(shown.left - a.exLeft) + int(c), columns_[c], ink);
            }
        }
    }
    p.drawImage(a.client(a.exLeft, top), strip_, QRect(0, 0, width, height));
}

// The wave inside a box of the detail mode's lane, in its fill, under its text.
void TimelinePainter::paintLaneWave(QPainter& p, const Area& a, const ItemBox& box) {
    const kelvane::Track& track = a.doc.track(a.state.currentTrack);
    const int64_t left = std::max<int64_t>(box.rect.left() + 1, a.exLeft);
    const int64_t right = std::min<int64_t>(box.rect.left() + box.rect.width() - 1, a.exRight);
    const int64_t top = box.rect.top() + 1;
    const int height = box.rect.height() - 2;
    if (!waves_.columns(track, box.event, a.state.zoom, left, right, height, columns_)) {
        return;
    }
    const QColor& ink = box.selected ? colours::kSelectedDetailWave : colours::kDetailWave;
    for (size_t c = 0; c < columns_.size(); ++c) {
        const WaveColumn column = columns_[c];
        if (column.top >= 0) {
            const int64_t x = left + int64_t(c);
            a.fill(p, x, top + column.top, x + 1, top + column.bottom + 1, ink);
        }
    }
}

void TimelinePainter::paintCurrentTrackFrame(QPainter& p, const Area& a) {
    const int64_t top = trackRowTop(int(a.state.currentTrack));
    a.fill(p, a.left, top - 1, a.right, top + 1, colours::kCursor);
    a.fill(p, a.left, top + kRowHeight - 1, a.right, top + kRowHeight + 1, colours::kCursor);
}

void TimelinePainter::paintRuler(QPainter& p, const Area& a) {
    const int64_t t = a.rulerTop;
    if (!a.exposesRect(a.exLeft, t, a.exRight, std::max(t + kRulerHeight, a.bottom))) {
        return;
    }
    const uint32_t zoom = a.state.zoom;
    a.fill(p, a.left, t, a.right, t + kLabelBandBottom, colours::kRulerTop);
    a.fill(p, a.left, t + kLabelBandBottom, a.right, t + kRulerHeight, colours::kRulerTicks);
    if (a.state.mode == Mode::TrackDetail) {
        a.fill(p, a.left, kDetailLaneTop, a.right, kDetailLaneBottom, colours::kDetailLane);
    }

    // Time labels about every 100 pixels, each with a tick.
    const uint32_t step = (zoom * 100 + 31) >> 5;
    const uint32_t leftFrame = leftEdgeFrame(a.left, zoom);
    const uint64_t farFrame = uint64_t(a.right + kLookAhead) * zoom >> 5;
    const uint64_t lastLabel = farFrame / step * step;
    const double rate = a.doc.frameRate();
    if (a.exposesRect(a.exLeft, t, a.exRight, t + 32)) {
        for (uint64_t f = uint64_t(leftFrame) / step * step; f < lastLabel; f += step) {
            const int64_t x = frameToX(uint32_t(f), zoom);
            const QStaticText& text = labelText(uint32_t(f), rate);
            if (x + int64_t(text.size().width()) + 1 > a.exLeft && x < a.exRight) {
                p.drawStaticText(a.client(x, t + 2), text);
            }
            a.fill(p, x, t + kLabelBandBottom, x + 1, t + 32, colours::kTick);
        }
    }
    // A tick for every frame while frames are at least 8 pixels apart.
    if (zoom <= 4) {
        const uint64_t lastFrame = uint64_t(a.exRight) * zoom / 32 + 1;
        for (uint64_t f = leftEdgeFrame(a.exLeft, zoom); f <= lastFrame; ++f) {
            const int64_t x = frameToX(uint32_t(f), zoom);
            a.fill(p, x, t + 28, x + 1, t + 32, colours::kTick);
        }
    }
    // The selection range, or the range a ruler drag would select.
    uint32_t selStart = a.state.selectionStart;
    uint32_t selEnd = a.state.selectionEnd;
    if (a.request.drag.rulerRange) {
        std::tie(selStart, selEnd) = *a.request.drag.rulerRange;
    }
    if (selStart != selEnd) {
        a.fill(p, frameToX(selStart, zoom), t + kLabelBandBottom, frameToX(selEnd, zoom), t + 32,
               colours::kSelectionRange);
    }
    // The cursor: a small triangle over a line down to the ruler's bottom.
    const int64_t cx = frameToX(a.state.cursor, zoom);
    a.fill(p, cx - 3, t + 20, cx + 4, t + 21, colours::kCursor);
    a.fill(p, cx - 2, t + 21, cx + 3, t + 22, colours::kCursor);
    a.fill(p, cx - 1, t + 22, cx + 2, t + 23, colours::kCursor);
    a.fill(p, cx, t + 23, cx + 1, t + kRulerHeight, colours::kCursor);
    // Scale marks, while they are at least a pixel apart.
    const kelvane::RefTime interval = a.state.scale.interval;
    const kelvane::RefTime duration = a.doc.frameDuration();
    if (interval > 0 && duration > 0 && (interval * 32 / zoom) / duration >= 1) {
        const kelvane::RefTime end = kelvane::RefTime(farFrame) * duration;
        for (kelvane::RefTime m = kelvane::RefTime(leftFrame) * duration / interval * interval;
             m < end; m += interval) {
            const int64_t x = m * 32 / duration / zoom;
            a.fill(p, x, t + 36, x + 1, t + kRulerHeight, colours::kScaleMark);
        }
    }
    // The project's end.
    const int64_t e = frameToX(a.doc.length(), zoom);
    a.fill(p, e - 1, t + kLabelBandBottom, e + 1, a.bottom, colours::kTick);
}

void TimelinePainter::paintDetail(QPainter& p, const Area& a) {
    const kelvane::Track& track = a.doc.track(a.state.currentTrack);
    const auto events = track.EventSpan();
    const QRect visible(int(a.left), int(a.top), int(a.right - a.left), int(a.bottom - a.top));
    if (a.exposesRect(a.left, kDetailLaneBottom, a.right, kDetailRowsTop)) {
        p.drawText(QRect(a.client(a.left, kDetailLaneBottom), QSize(200, kRowHeight)),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Track %1").arg(a.state.currentTrack, 3, 10, QLatin1Char('0')));
    }
    const double rate = a.doc.frameRate();
    for (const ItemBox& box : layoutDetailBoxes(track, a.state, visible)) {
        const int64_t l = box.rect.left();
        const int64_t t = box.rect.top();
        const int64_t r = l + box.rect.width();
        const int64_t b = t + box.rect.height();
        if (r <= l || !a.exposesRect(l, t, r, b)) {
            continue;
        }
        a.fill(p, l, t, r, b, box.selected ? colours::kSelectedBoxOutline : colours::kBoxOutline);
        a.fill(p, l + 1, t + 1, r - 1, b - 1,
               box.selected ? colours::kSelectedBoxFill : colours::kBoxFill);
        const kelvane::TrackEvent& event = events[box.event];
        if (box.kind == ItemBox::Kind::Lane && waves_.hasWave(event.fileId)) {
            paintLaneWave(p, a, box);
        }
        if (box.kind == ItemBox::Kind::Lane) {
            // A box narrower than the leading space shows no text at all.
            if (r - l > 8) {
                const QRect clip = QRect(a.client(l, t), QSize(int(r - l), int(b - t)))
                                       .intersected(QRect(QPoint(0, 0), a.request.client));
                p.save();
                p.setClipRect(clip, Qt::IntersectClip);
                p.drawStaticText(a.client(l, t + (b - t - kRowHeight) / 2 + textOffset_),
                                 numberText(uint32_t(event.fileId), 4));
                p.restore();
            }
        } else {
            p.drawText(QRect(a.client(l, t), QSize(int(r - l), int(b - t))),
                       Qt::AlignLeft | Qt::AlignVCenter, detailRowText(event, rate));
        }
    }
}

void TimelinePainter::paintEventGhosts(QPainter& p, const Area& a, int64_t shift) {
    const auto events = a.doc.track(a.state.currentTrack).EventSpan();
    if (events.empty() || (events[0].flags & kelvane::kEventUsed) == 0) {
        return;
    }
    const uint32_t zoom = a.state.zoom;
    int64_t top = trackRowTop(int(a.state.currentTrack)) + 1;
    int64_t bottom = top + kRowHeight - 2;
    if (a.state.mode == Mode::TrackDetail) {
        top = kDetailLaneTop;
        bottom = kDetailLaneBottom;
    }
    auto shifted = [&](uint32_t start) {
        const int64_t moved = int64_t(start) + shift;
        return moved < 0 || moved > int64_t(kelvane::kMaxProjectLength) ? int64_t(0) : moved;
    };
    const int64_t leftFrame = int64_t(leftEdgeFrame(a.exLeft, zoom)) - shift;
    size_t i = leftFrame <= 0 ? 0 : firstStartingAfter(events, uint64_t(leftFrame));
    i = i == 0 ? 0 : i - 1;
    int64_t lastLeft = -1;
    for (; i < events.size(); ++i) {
        const int64_t unclamped = int64_t(events[i].start) + shift;
        if (unclamped >= 0 &&
            frameToX(uint32_t(std::min<int64_t>(unclamped, UINT32_MAX)), zoom) >= a.exRight) {
            break;
        }
        if ((events[i].flags & kelvane::kEventSelected) == 0) {
            continue;
        }
        const int64_t l = frameToX(uint32_t(shifted(events[i].start)), zoom);
        if (l == lastLeft) {
            continue;  // another ghost already marks this column
        }
        lastLeft = l;
        const int64_t r =
            i + 1 < events.size()
                ? std::max(l + 1, frameToX(uint32_t(shifted(events[i + 1].start)), zoom))
                : a.exRight;
        a.fill(p, l, top, r, top + 2, colours::kDragGhost);
        a.fill(p, l, bottom - 2, r, bottom, colours::kDragGhost);
        a.fill(p, l, top, l + 2, bottom, colours::kDragGhost);
    }
}

}  // namespace timeline

// The timeline pane's mouse: the ruler drag, selecting and dragging events, the detail boxes, the
// context menu, and drops from the file list and the template list.
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include "ui/timeline/DetailLayout.h"
#include "ui/timeline/DragCursors.h"
#include "ui/timeline/TimelineSelection.h"
#include "ui/timeline/TimelineView.h"

using namespace timeline;

void TimelineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        doc_.clearDrag();
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        event->accept();  // no automatic scrolling on the middle button
        return;
    }
    doc_.clearDrag();
    const QPoint pos = event->position().toPoint();
    if (pos.y() >= kLabelBandBottom && pos.y() < kRulerHeight) {
        dragFrame_ = frameUnder(pos.x());
        rulerDrag_.emplace(state_, dragFrame_);
        postFramePreview();
        invalidateCursorArea();
    } else if (pos.y() >= kRulerHeight) {
        pressEvents(event);
    }
    event->accept();
}

void TimelineView::pressEvents(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int64_t y = documentY(pos.y());
    const uint32_t frame = frameUnder(pos.x());
    if (state_.mode == Mode::AllTracks) {
        const int64_t row = (y - kRulerHeight) / kRowHeight;
        if (row >= kTrackRows) {
            return;
        }
        if (uint32_t(row) != state_.currentTrack) {
            state_.currentTrack = uint32_t(row);
            state_.currentEvent = 0;
        }
    } else if (y >= kDetailLaneBottom) {
        const QRect visible(int(scrollX()), int(scrollY()), viewport()->width(),
                            viewport()->height());
        const int hit =
            hitDetailBox(layoutDetailBoxes(doc_.track(state_.currentTrack), state_, visible),
                         QPoint(int(scrollX()) + pos.x(), int(y)));
        if (hit < 0) {
            select(nullptr);
        } else {
            selectByClick(uint32_t(hit), event->modifiers());
            postSoleSelectedPreview();
        }
        viewport()->update();
        return;
    }
    if (const auto hit = eventAtFrame(doc_.track(state_.currentTrack), frame)) {
        startEventDrag(*hit, frame, event->modifiers());
    } else {
        select(nullptr);
    }
    viewport()->update();
}

void TimelineView::selectByClick(uint32_t event, Qt::KeyboardModifiers modifiers) {
    select(clickSelection(event, state_.currentEvent, modifiers));
    state_.currentEvent = event;
}

void TimelineView::select(const TimelineDocument::EventPredicate& selected) {
    // Clearing selects nothing: a track with no events in use stays as it is.
    static const TimelineDocument::EventPredicate none = [](uint32_t, const kelvane::TrackEvent&) {
        return false;
    };
    doc_.select(state_.currentTrack, selected ? selected : none, this);
    if (commandsChanged_) {
        commandsChanged_();
    }
}

void TimelineView::startEventDrag(uint32_t event, uint32_t frame, Qt::KeyboardModifiers modifiers) {
    selectByClick(event, modifiers);
    eventDrag_.emplace(state_.currentTrack, frame);
    dragFrame_ = frame;
    viewport()->setCursor(moveEventsCursor());
    postSoleSelectedPreview();
}

void TimelineView::postSoleSelectedPreview() {
    if (!state_.preview) {
        return;
    }
    if (const auto sole = soleSelected(doc_.track(state_.currentTrack))) {
        postEventPreview(*sole);
    }
}

void TimelineView::autoScrollDuringDrag(int clientX) {
    const int width = viewport()->width();
    if (clientX < 0) {
        scrollToLeft(scrollX() + clientX);
    } else if (clientX >= width) {
        scrollToLeft(scrollX() + clientX - width);
    }
}

void TimelineView::mouseMoveEvent(QMouseEvent* event) {
    if (!rulerDrag_ && !eventDrag_) {
        return;
    }
    const int x = event->position().toPoint().x();
    autoScrollDuringDrag(x);
    const uint32_t frame = frameUnder(x);
    if (frame == dragFrame_) {
        return;
    }
    dragFrame_ = frame;
    if (rulerDrag_) {
        viewport()->update(0, 0, viewport()->width(), kRulerHeight);
        return;
    }
    // Only the dragged track's row shows the moving events.
    if (state_.mode == Mode::AllTracks) {
        const int top = int(trackRowTop(int(state_.currentTrack)) - scrollY());
        viewport()->update(0, top, viewport()->width(), kRowHeight);
    } else {
        viewport()->update(0, int(kDetailLaneTop - scrollY()), viewport()->width(),
                           kDetailLaneBottom - kDetailLaneTop);
    }
}

void TimelineView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        QMenu* menu = createContextMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const uint32_t frame = frameUnder(event->position().toPoint().x());
    if (rulerDrag_) {
        rulerDrag_->finish(state_, frame);
        rulerDrag_.reset();
        if (state_.hasSelectionRange()) {
            postFramePreview();
        }
        invalidateCursorArea();
    } else if (eventDrag_) {
        const EventDrag drag = *eventDrag_;
        eventDrag_.reset();
        viewport()->unsetCursor();
        // One edit, at the drop: the moves in between only showed where the events would go.
        if (!doc_.moveSelected(drag.track(), drag.anchor(), frame, state_.autoExtend)) {
            viewport()->update();
        }
    }
    event->accept();
}

void TimelineView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton ||
        documentY(event->position().toPoint().y()) < kRulerHeight) {
        return;
    }
    const auto events = doc_.track(state_.currentTrack).EventSpan();
    if (state_.currentEvent < events.size() &&
        (events[state_.currentEvent].flags & kelvane::kEventSelected)) {
        select(onlyEvent(state_.currentEvent));
        viewport()->update();
        runCommand(CommandId::Properties);
    }
}

void TimelineView::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's menu opens on the button's release; this one is the keyboard's.
    if (event->reason() == QContextMenuEvent::Mouse) {
        event->accept();
        return;
    }
    QMenu* menu = createContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

std::optional<uint32_t> TimelineView::dropTrack(QPoint client) const {
    // Nothing lands on the ruler, pinned at the top or not.
    if (client.y() < kRulerHeight) {
        return std::nullopt;
    }
    const int64_t y = documentY(client.y());
    if (state_.mode == Mode::AllTracks) {
        const int64_t row = (y - kRulerHeight) / kRowHeight;
        return row < kTrackRows ? std::optional<uint32_t>(uint32_t(row)) : std::nullopt;
    }
    return y < kDetailLaneBottom ? std::optional<uint32_t>(state_.currentTrack) : std::nullopt;
}

void TimelineView::dragEnterEvent(QDragEnterEvent* event) {
    if (TrackDrop::fromMime(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TimelineView::dragMoveEvent(QDragMoveEvent* event) {
    const auto drop = TrackDrop::fromMime(event->mimeData());
    if (drop && dropTrack(event->position().toPoint())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TimelineView::dropEvent(QDropEvent* event) {
    const QPoint pos = event->position().toPoint();
    const auto drop = TrackDrop::fromMime(event->mimeData());
    const auto track = drop ? dropTrack(pos) : std::nullopt;
    doc_.clearDrag();
    if (!track) {
        event->ignore();
        return;
    }
    state_.currentTrack = *track;
    const uint32_t frame = frameUnder(pos.x());
    if (drop->source == TrackDrop::Source::File) {
        doc_.dropFile(*track, int32_t(drop->index), frame, state_.autoExtend);
    } else {
        kelvane::TrackEvent inserted = doc_.templateSlot(drop->index);
        inserted.start = frame;
        doc_.insertEvent(*track, inserted, state_.autoExtend, doc_.templateExtras(drop->index));
    }
    event->acceptProposedAction();
    viewport()->update();
}

bool TimelineView::placeFile(uint32_t fileId) {
    doc_.clearDrag();
    const bool placed =
        doc_.dropFile(state_.currentTrack, int32_t(fileId), state_.cursor, state_.autoExtend);
    viewport()->update();
    return placed;
}

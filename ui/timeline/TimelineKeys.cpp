// The timeline pane's keyboard: the cursor, the events and tracks, and templates by their keys.
#include <QKeyEvent>

#include "ui/timeline/TimelineSelection.h"
#include "ui/timeline/TimelineView.h"

using namespace timeline;

void TimelineView::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            moveCursorBy(event->key() == Qt::Key_Left ? -1 : 1, shift);
            event->accept();
            invalidateCursorArea();
            return;
        case Qt::Key_Up:
            if (shift) {
                state_.currentTrack = state_.currentTrack == 0 ? 0 : state_.currentTrack - 1;
            } else {
                stepEvent(-1);
            }
            break;
        case Qt::Key_Down:
            if (shift) {
                state_.currentTrack = std::min<uint32_t>(state_.currentTrack + 1, kTrackRows - 1);
            } else {
                stepEvent(1);
            }
            break;
        default: {
            // The pane's command keys (Delete, Enter, I, O, Esc, Ctrl+C, ...) are the window's
            // accelerators and arrive as commands; here only the template keys remain.
            if (!handleTemplateKey(event)) {
                QAbstractScrollArea::keyPressEvent(event);
                return;
            }
        }
    }
    event->accept();
    viewport()->update();
}

bool TimelineView::handleTemplateKey(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    const int slot = doc_.templateForKey(event->key());
    if (slot < 0) {
        return false;
    }
    kelvane::TrackEvent inserted = doc_.templateSlot(uint32_t(slot));
    if (inserted.flags & kelvane::kEventUsed) {
        inserted.start = state_.cursor;
        doc_.insertEvent(state_.currentTrack, inserted, state_.autoExtend,
                         doc_.templateExtras(uint32_t(slot)));
    }
    return true;
}

void TimelineView::moveCursorBy(int delta, bool extend) {
    const uint32_t old = state_.cursor;
    if (delta < 0) {
        state_.cursor = old == 0 ? 0 : old - 1;
    } else {
        state_.cursor = std::min(old + 1, doc_.length());
    }
    if (extend) {
        // The end of the range that stood on the cursor follows it.
        if (old == state_.selectionStart) {
            state_.selectionStart = state_.cursor;
        } else {
            state_.selectionEnd = state_.cursor;
        }
        if (state_.selectionStart > state_.selectionEnd) {
            std::swap(state_.selectionStart, state_.selectionEnd);
        }
    } else {
        state_.selectionStart = state_.selectionEnd = state_.cursor;
        postFramePreview();
    }
    keepVisible(frameToX(state_.cursor, state_.zoom));
}

void TimelineView::stepEvent(int delta) {
    const kelvane::Track& track = doc_.track(state_.currentTrack);
    const uint32_t count = track.Count();
    if (count == 0) {
        return;
    }
    uint32_t index = std::min(state_.currentEvent, count - 1);
    if (delta < 0) {
        index = index == 0 ? 0 : index - 1;
    } else {
        index = std::min(index + 1, count - 1);
    }
    select(onlyEvent(index));
    state_.currentEvent = index;
    keepVisible(frameToX(track.Events()[index].start, state_.zoom));
    postEventPreview(index);
}

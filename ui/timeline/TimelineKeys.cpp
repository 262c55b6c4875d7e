// The timeline pane's keyboard: the cursor, the events and tracks, templates by their keys, and the
// keys of the pane's commands when no menu took them first.
#include <QKeyEvent>
#include <QKeySequence>

#include "ui/timeline/TimelineSelection.h"
#include "ui/timeline/TimelineView.h"

using namespace timeline;

namespace {

struct KeyCommand {
    QKeySequence::StandardKey key;
    CommandId command;
};

}  // namespace

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
            static const KeyCommand commands[] = {
                {QKeySequence::Cut, CommandId::EditCut},
                {QKeySequence::Copy, CommandId::EditCopy},
                {QKeySequence::Paste, CommandId::EditPaste},
                {QKeySequence::Delete, CommandId::EditClear},
                {QKeySequence::SelectAll, CommandId::EditSelectAll},
            };
            for (const KeyCommand& command : commands) {
                if (event->matches(command.key)) {
                    runCommand(command.command);
                    event->accept();
                    return;
                }
            }
            const auto plain = event->modifiers() & ~(Qt::KeypadModifier);
            if (plain == Qt::NoModifier) {
                switch (event->key()) {
                    case Qt::Key_I:
                        runCommand(CommandId::ZoomIn);
                        return;
                    case Qt::Key_O:
                        runCommand(CommandId::ZoomOut);
                        return;
                    case Qt::Key_Escape:
                        runCommand(CommandId::AllTracks);
                        return;
                    case Qt::Key_Return:
                    case Qt::Key_Enter:
                        runCommand(CommandId::Properties);
                        return;
                    default:
                        break;
                }
            }
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
        doc_.insertEvent(state_.currentTrack, inserted, state_.autoExtend);
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
    kelvane::Track& track = doc_.trackForSelection(state_.currentTrack);
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
    clearSelection(track);
    track.Events()[index].flags |= kelvane::kEventSelected;
    state_.currentEvent = index;
    keepVisible(frameToX(track.Events()[index].start, state_.zoom));
    postEventPreview(index);
}

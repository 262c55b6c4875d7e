// The timeline pane's commands, from the menus, the accelerators and its context menu.
#include <cmath>

#include <QMenu>
#include <QScrollBar>

#include "ui/timeline/ScaleMarksDialog.h"
#include "ui/timeline/TimelineSelection.h"
#include "ui/timeline/TimelineView.h"

using namespace timeline;

bool TimelineView::commandState(CommandId id, CommandState& state) const {
    state = CommandState{true, false};
    switch (id) {
        case CommandId::EditCut:
        case CommandId::EditCopy:
        case CommandId::EditPaste:
        case CommandId::EditClear:
        case CommandId::EditSelectAll:
        case CommandId::Properties:
        case CommandId::ScaleMarks:
        case CommandId::GoToFrame:
            return true;
        case CommandId::PreviewToggle:
            state.checked = state_.preview;
            return true;
        case CommandId::AllTracks:
            state.checked = state_.mode == Mode::AllTracks;
            return true;
        case CommandId::ZoomIn:
            state.enabled = state_.zoom > kMinZoom;
            return true;
        case CommandId::ZoomOut:
            state.enabled = state_.zoom < kMaxZoom;
            return true;
        case CommandId::AutoExtend:
            state.checked = state_.autoExtend;
            return true;
        default:
            return false;
    }
}

void TimelineView::runCommand(CommandId id) {
    const uint32_t track = state_.currentTrack;
    switch (id) {
        case CommandId::EditCut:
            doc_.cut(track);
            break;
        case CommandId::EditCopy:
            doc_.copy(track);
            break;
        case CommandId::EditPaste:
            doc_.paste(track, state_.cursor, state_.autoExtend);
            break;
        case CommandId::EditClear:
            doc_.erase(track);
            break;
        case CommandId::EditSelectAll:
            doc_.selectAll(track, this);
            break;
        case CommandId::Properties:
            editProperties();
            break;
        case CommandId::PreviewToggle:
            setPreview(!state_.preview);
            break;
        case CommandId::AllTracks:
            state_.mode = state_.mode == Mode::AllTracks ? Mode::TrackDetail : Mode::AllTracks;
            break;
        case CommandId::ZoomIn:
            zoomIn();
            break;
        case CommandId::ZoomOut:
            zoomOut();
            break;
        case CommandId::AutoExtend:
            setAutoExtend(!state_.autoExtend);
            break;
        case CommandId::ScaleMarks:
            editScaleMarks();
            break;
        case CommandId::GoToFrame:
            goToFrame();
            break;
        default:
            return;
    }
    viewport()->update();
    // Zoom limits, checks and the selection may have changed the state of other commands.
    if (commandsChanged_) {
        commandsChanged_();
    }
}

QMenu* TimelineView::createContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const auto add = [&](const QString& text, CommandId id) {
        QAction* action = menu->addAction(text, this, [this, id] { runCommand(id); });
        CommandState state;
        commandState(id, state);
        action->setEnabled(state.enabled);
        if (state.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        return action;
    };
    add(QStringLiteral("プロパティ(&S)..."), CommandId::Properties);
    menu->addSeparator();
    add(QStringLiteral("切り取り(&T)"), CommandId::EditCut);
    add(QStringLiteral("コピー(&C)"), CommandId::EditCopy);
    add(QStringLiteral("貼り付け(&P)"), CommandId::EditPaste);
    add(QStringLiteral("消去(&E)"), CommandId::EditClear);
    menu->addSeparator();
    add(QStringLiteral("すべて選択(&A)"), CommandId::EditSelectAll);
    menu->addSeparator();
    add(QStringLiteral("プレビュー表示(&V)"), CommandId::PreviewToggle);
    add(QStringLiteral("全トラック表示(&A)"), CommandId::AllTracks);
    add(QStringLiteral("拡大(&I)"), CommandId::ZoomIn)->setEnabled(state_.zoom >= 2);
    // Greyed from 256 on, as the menu always did; the command itself goes on to 1024.
    add(QStringLiteral("縮小(&O)"), CommandId::ZoomOut)->setEnabled(state_.zoom < 256);
    add(QStringLiteral("自動拡張(&E)"), CommandId::AutoExtend);
    add(QStringLiteral("目盛りの設定(&M)..."), CommandId::ScaleMarks);
    menu->addSeparator();
    // The current track's sound, for the mix of a playback and of an export.
    const uint32_t track = state_.currentTrack;
    QAction* mute = menu->addAction(QStringLiteral("トラックのミュート"));
    mute->setCheckable(true);
    mute->setChecked(doc_.trackMuted(track));
    connect(mute, &QAction::toggled, this, [this, track](bool muted) {
        doc_.setTrackMuted(track, muted);
        viewport()->update();
    });
    return menu;
}

// Zooming keeps the cursor where it stands on screen; a cursor out of view is brought to the
// middle of the pane.
void TimelineView::zoomIn() {
    if (state_.zoom <= kMinZoom) {
        return;
    }
    const int64_t offset = frameToX(state_.cursor, state_.zoom) - scrollX();
    state_.zoom /= 2;
    relayout();
    anchorZoom(state_.cursor, offset);
}

void TimelineView::zoomOut() {
    if (state_.zoom >= kMaxZoom) {
        return;
    }
    const int64_t offset = frameToX(state_.cursor, state_.zoom) - scrollX();
    state_.zoom *= 2;
    relayout();
    anchorZoom(state_.cursor, offset);
}

void TimelineView::anchorZoom(uint32_t frame, int64_t offset) {
    const int64_t width = viewport()->width();
    if (offset < 0 || offset >= width) {
        offset = width / 2;
    }
    scrollToLeft(frameToX(frame, state_.zoom) - offset);
}

void TimelineView::editScaleMarks() {
    ScaleMarksDialog dialog(state_.scale.count, state_.scale.unitSeconds, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    state_.scale.count = dialog.count();
    state_.scale.unitSeconds = dialog.unitSeconds();
    kelvane::RefTime interval = 0;
    if (state_.scale.count > 0) {
        const double value = state_.scale.unitSeconds / state_.scale.count * 1e7 + 0.5;
        // 1000 seconds over a count just above 0 would not fit: no marks rather than garbage.
        interval = value < 9e18 ? kelvane::RefTime(value) : 0;
    }
    state_.scale.interval = interval > 0 ? interval : 0;
}

void TimelineView::editProperties() {
    const auto events = doc_.track(state_.currentTrack).EventSpan();
    std::optional<uint32_t> single;
    size_t selected = 0;
    for (uint32_t i = 0; i < events.size(); ++i) {
        const uint32_t picked = kelvane::kEventUsed | kelvane::kEventSelected;
        if ((events[i].flags & picked) == picked) {
            single = i;
            ++selected;
        }
    }
    if (selected == 0) {
        return;
    }
    if (selected == 1) {
        state_.currentEvent = *single;  // the edited event becomes the current one
    }
    doc_.editProperties(this, state_.currentTrack, state_.autoExtend);
}

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QAbstractScrollArea>

#include "model/Subscription.h"
#include "model/TrackEvent.h"
#include "ui/commands/CommandTarget.h"
#include "ui/timeline/EventDrag.h"
#include "ui/timeline/RulerDrag.h"
#include "ui/timeline/TimelineDocument.h"
#include "ui/timeline/TimelinePainter.h"
#include "ui/timeline/TimelineState.h"
#include "ui/timeline/TrackDrop.h"

class QMenu;

namespace kelvane {
class Document;
class ProfileFile;
class SoundPeaksCache;
}  // namespace kelvane

// The timeline pane: the project's 256 tracks against a frame axis, with the ruler, the cursor,
// the selection range and the scale marks, either all tracks at once or the current track in
// detail. One painted area: no widget or item per event, and a paint touches only the events in
// the exposed rectangle, so it costs the same however long the project is.
class TimelineView : public QAbstractScrollArea, public CommandTarget {
    Q_OBJECT
  public:
    // `profile` keeps "Preview" and "AutoExtend" of section "TrackView"; null keeps them in the
    // view only.
    TimelineView(kelvane::Document& doc, kelvane::ProfileFile* profile, QWidget* parent = nullptr);
    ~TimelineView() override;

    const timeline::TimelineState& state() const { return state_; }
    // Called when a command's state changed without a document update (the selection, say).
    void setCommandsChanged(std::function<void()> changed) {
        commandsChanged_ = std::move(changed);
    }

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;
    // The menu of a right click, with each item's state as of now.
    QMenu* createContextMenu(QWidget* parent);
    // File `fileId` on the current track at the cursor, as a drop of it there would make it.
    bool placeFile(uint32_t fileId);

    // Where the window's top-left corner lies in the document.
    int64_t scrollX() const;
    int64_t scrollY() const;
    // Playback moves the cursor to `frame`: only the strips the cursor leaves and enters repaint,
    // and the view turns a page when the cursor leaves it. Without `keepSelection` the empty
    // selection goes with the cursor, as a click on the ruler leaves it. Nothing is previewed.
    void followPlayback(uint32_t frame, bool keepSelection);

    // Paints the given window rectangle (for benchmarks and screenshots).
    void paintInto(QPainter& painter, const QRect& exposed);
    // Where the waveforms' peaks come from: the process-wide cache unless a test gives its own.
    // The view repaints whenever the cache has made a sound's peaks.
    void setPeaksCache(kelvane::SoundPeaksCache& cache);

    // The cursor as the status bar shows it: its time and its frame, "00:01.333 / 40".
    QString cursorText() const;
    // Puts the cursor on `frame` (at most the project's length), as a click on the ruler there
    // would: the empty selection goes with it, the frame is previewed and scrolled into view.
    void moveCursorTo(uint32_t frame);
    // "移動": asks for a time or a frame and moves the cursor there.
    void goToFrame();

  signals:
    // The cursor's text changed: the cursor moved, or the project's rate changed under it.
    void cursorTextChanged(const QString& text);

  protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // layout and scrolling
    void relayout();
    void onDocumentUpdate();
    void keepVisible(int64_t x);
    void scrollToLeft(int64_t x);
    int64_t documentWidth() const;
    uint32_t frameUnder(int clientX) const;
    int64_t documentY(int clientY) const;
    // With all tracks shown the cursor and the range live in the ruler alone; the detail mode
    // lists the events from the cursor on, so all of it changes.
    void invalidateCursorArea();
    // Tells the status bar when the cursor's text changed; called after every input event.
    void noteCursor();
    // Scrolls so that `frame` is `offset` pixels from the left edge after a zoom change.
    void anchorZoom(uint32_t frame, int64_t offset);

    // editing
    void pressEvents(QMouseEvent* event);
    void startEventDrag(uint32_t event, uint32_t frame, Qt::KeyboardModifiers modifiers);
    void selectByClick(uint32_t event, Qt::KeyboardModifiers modifiers);
    void select(const timeline::TimelineDocument::EventPredicate& selected);
    void postFramePreview();
    void postEventPreview(uint32_t event);
    void postSoleSelectedPreview();
    bool handleTemplateKey(QKeyEvent* event);
    void moveCursorBy(int delta, bool extend);
    void stepEvent(int delta);
    // The track a drop at this window point lands on, or none (the ruler, below the last track,
    // below the lane in detail mode).
    std::optional<uint32_t> dropTrack(QPoint client) const;
    void autoScrollDuringDrag(int clientX);

    // commands
    void editProperties();
    void editScaleMarks();
    void zoomIn();
    void zoomOut();
    void setPreview(bool on);
    void setAutoExtend(bool on);

    timeline::TimelineDocument doc_;
    kelvane::ProfileFile* profile_;
    timeline::TimelineState state_;
    timeline::TimelinePainter painter_;
    std::optional<timeline::RulerDrag> rulerDrag_;
    std::optional<timeline::EventDrag> eventDrag_;
    uint32_t dragFrame_ = 0;  // the frame under the pointer during a drag
    std::function<void()> commandsChanged_;
    QString shownCursor_;
    // Last, so that it ends first: the cache's thread may be telling the view meanwhile.
    kelvane::Subscription peaksMade_;
};

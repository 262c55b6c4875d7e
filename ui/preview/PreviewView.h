#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

#include "ui/commands/CommandTarget.h"
#include "ui/lists/PaneDocument.h"
#include "ui/lists/PreviewFlag.h"
#include "ui/preview/PreviewComposer.h"
#include "ui/preview/PreviewDrag.h"

namespace kelvane {

class ProfileFile;
class UserPrompt;

// The preview pane: whatever the last preview request asked for (a file's image, an event's
// source image, one track or the whole output at a frame), scaled to fit the pane and centred
// with "KeepAspect" on (INI section "ImageView", the default), stretched over the whole pane with
// it off. Saves what it shows as a BMP file, at the picture's own size. With "Preview" off it
// stays blank.
//
// While it shows the composition (one track or all of them at a frame), a drag moves the topmost
// event drawn under the pointer (Alt: the timeline's current track's) by its position, or by the
// translation of its explicit matrix, as one step to undo; a dashed outline shows where it goes
// and Shift keeps the move horizontal or vertical.
class PreviewView : public QWidget, public CommandTarget {
    Q_OBJECT

  public:
    PreviewView(UiDocument& document, UserPrompt& prompt, ProfileFile& profile,
                QWidget* parent = nullptr);
    ~PreviewView() override;

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

    bool previewOn() const { return preview_.on(); }
    bool keepsAspect() const { return keepAspect_.on(); }
    // While playback runs, the pane shows its frames instead of the preview request; null gives
    // the pane back to the request. The image must stay valid until the next call.
    void showPlaybackFrame(const PixelImage* frame);
    // The timeline's current track, for Alt+drag; unset, Alt+drag finds nothing to move.
    void setCurrentTrackSource(std::function<std::optional<uint32_t>()> source) {
        currentTrack_ = std::move(source);
    }
    // The output pixel under a point of the pane, while the pane shows a composition.
    std::optional<QPointF> outputPoint(QPoint panePoint) const;
    // The pane point of an output pixel (the inverse of outputPoint).
    QPointF panePoint(QPointF outputPoint) const;
    // While a drag moves an event: its footprint where it would go now, in output pixels.
    std::optional<QPolygonF> dragOutline() const;

    // While held, the pane keeps showing the picture it shows now and composes nothing: an
    // export is using the project's sources and evaluation states. Letting go paints afresh.
    void holdPicture(bool hold);
    bool holdsPicture() const { return !held_.isNull(); }
    // "プレビュー画像を保存": asks for a path, then writes the source image (a file or an
    // event) or the composed output frame (a track or all tracks) at its own size.
    void savePreviewImage();

  signals:
    // A frame of the playback has just been drawn into the pane.
    void playbackFramePainted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QString askSavePath();
    // The request is one track or the whole output at a frame.
    bool showsComposition() const;

    PaneDocument doc_;
    UserPrompt& prompt_;
    PreviewFlag preview_;
    PreviewFlag keepAspect_;
    PreviewComposer composer_;
    PaneSubscription updates_;
    // The rectangle of the pane the composed frame is drawn into.
    QRect pictureRect() const;
    void endDrag(bool apply);

    const PixelImage* playbackFrame_ = nullptr;
    QPixmap held_;
    std::function<std::optional<uint32_t>()> currentTrack_;
    // A drag that moves an event: which one, its footprint as it was, where the press was (in
    // output pixels) and how far it has moved.
    struct EventMove {
        EventFootprint footprint;
        QPointF from;
        QPointF by;
    };
    std::optional<EventMove> move_;
};

}  // namespace kelvane

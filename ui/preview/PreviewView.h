#pragma once

#include <QWidget>

#include "ui/commands/CommandTarget.h"
#include "ui/lists/PaneDocument.h"
#include "ui/lists/PreviewFlag.h"
#include "ui/preview/PreviewComposer.h"

namespace kelvane {

class ProfileFile;
class UserPrompt;

// The preview pane: whatever the last preview request asked for (a file's image, an event's
// source image, one track or the whole output at a frame), scaled to fit the pane and centred
// with "KeepAspect" on (INI section "ImageView", the default), stretched over the whole pane with
// it off. Saves what it shows as a BMP file, at the picture's own size. With "Preview" off it
// stays blank.
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
    // "プレビュー画像を保存": asks for a path, then writes the source image (a file or an
    // event) or the composed output frame (a track or all tracks) at its own size.
    void savePreviewImage();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

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
    const PixelImage* playbackFrame_ = nullptr;
};

}  // namespace kelvane

#include "ui/preview/PreviewView.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QPainter>

#include "model/DocumentMessages.h"
#include "platform/FailureNote.h"
#include "platform/UserPrompt.h"
#include "ui/lists/ListRowDelegate.h"
#include "ui/lists/PaneMenu.h"
#include "ui/preview/PreviewImageFile.h"
#include "ui/preview/StretchedImage.h"

namespace kelvane {
namespace {

constexpr const char* kDrawFailed = "描画に失敗しました。";
constexpr const char* kNothingToSave = "保存可能なデータがありません。";

}  // namespace

PreviewView::PreviewView(UiDocument& document, UserPrompt& prompt, ProfileFile& profile,
                         QWidget* parent)
    : QWidget(parent),
      doc_(document),
      prompt_(prompt),
      preview_(profile, "ImageView"),
      keepAspect_(profile, "ImageView", "KeepAspect") {
    setAccessibleName(QStringLiteral("プレビュー"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(listFont());
    updates_ = doc_.watch(this, [this](UpdateHint hint) {
        // A shown composition is made afresh by every paint: any change of the events must
        // reach it, not only a new request.
        if (HasHint(hint, UpdateHint::Preview) ||
            (HasHint(hint, UpdateHint::Timeline) && showsComposition())) {
            update();
        }
    });
}

PreviewView::~PreviewView() = default;

bool PreviewView::showsComposition() const {
    const PreviewKind kind = doc_.previewRequest().kind;
    return kind == PreviewKind::TrackAtFrame || kind == PreviewKind::AllTracksAtFrame;
}

void PreviewView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect pane = rect();
    painter.fillRect(pane, palette().color(QPalette::Base));
    if (!preview_.on()) {
        return;
    }
    if (playbackFrame_ != nullptr) {
        const QSize size(playbackFrame_->Width(), playbackFrame_->Height());
        drawStretched(painter, *playbackFrame_, keepAspect_.on() ? fittedRect(size, pane) : pane);
        return;
    }
    const PreviewRequest request = doc_.previewRequest();
    const PreviewPicture picture =
        composer_.serve(doc_.projectForRendering(), request, doc_.workEvent());
    painter.setPen(palette().color(QPalette::Text));
    if (picture.content == PreviewPicture::Content::Image) {
        const QSize size(picture.image->Width(), picture.image->Height());
        drawStretched(painter, *picture.image, keepAspect_.on() ? fittedRect(size, pane) : pane);
    } else if (picture.content == PreviewPicture::Content::EffectTexts) {
        const int w = pane.width();
        const QRect boxes[3] = {QRect(QPoint(4, 4), QPoint(w - 5, 35)),
                                QRect(QPoint(4, 40), QPoint(w - 5, 71)),
                                QRect(QPoint(4, 76), QPoint(w - 5, pane.height() - 1))};
        for (int i = 0; i < 3; ++i) {
            painter.drawText(boxes[i], Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                             picture.texts.value(i));
        }
    }
    if (picture.failed) {
        painter.drawText(pane, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromUtf8(kDrawFailed));
    }
    // A failed request is shown once; later paints show nothing until a new request comes.
    doc_.previewServed(picture.failed);
}

void PreviewView::showPlaybackFrame(const PixelImage* frame) {
    if (frame != nullptr || playbackFrame_ != nullptr) {
        playbackFrame_ = frame;
        update();
    }
}

QString PreviewView::askSavePath() {
    QFileDialog dialog(this, QStringLiteral("プレビュー画像を保存"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("ビットマップファイル (*.bmp)"));
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void PreviewView::savePreviewImage() {
    if (!preview_.on()) {
        return;
    }
    const QString path = askSavePath();
    if (path.isEmpty()) {
        return;
    }
    // A composition is made afresh at the output size; a source image is written as it is.
    PreviewComposer composer;
    const PreviewPicture picture =
        composer.serve(doc_.projectForRendering(), doc_.previewRequest(), doc_.workEvent());
    if (picture.noFrame || picture.failed) {
        prompt_.ShowError(messages::kSaveFailed);
        return;
    }
    if (picture.content != PreviewPicture::Content::Image) {
        prompt_.ShowError(kNothingToSave);
        return;
    }
    const std::u16string target(reinterpret_cast<const char16_t*>(path.utf16()),
                                size_t(path.size()));
    ClearFailureNote();
    if (!writePreviewImage(target, *picture.image)) {
        prompt_.ShowError(WithFailureNote(messages::kSaveFailed));
    }
}

bool PreviewView::commandState(CommandId id, CommandState& state) const {
    switch (id) {
        case CommandId::SavePreviewImage:
            state = CommandState{true, false};
            return true;
        case CommandId::PreviewToggle:
            state = CommandState{true, preview_.on()};
            return true;
        case CommandId::KeepAspect:
            state = CommandState{true, keepAspect_.on()};
            return true;
        default:
            return false;
    }
}

void PreviewView::runCommand(CommandId id) {
    switch (id) {
        case CommandId::SavePreviewImage:
            savePreviewImage();
            break;
        case CommandId::PreviewToggle:
            preview_.toggle();
            update();
            break;
        case CommandId::KeepAspect:
            keepAspect_.toggle();
            update();
            break;
        default:
            break;
    }
}

void PreviewView::contextMenuEvent(QContextMenuEvent* event) {
    showPaneMenu(this, *this, event->globalPos(),
                 {{CommandId::SavePreviewImage, "プレビュー画像を保存(&I)..."},
                  kMenuSeparator,
                  {CommandId::PreviewToggle, "プレビュー表示(&V)"},
                  {CommandId::KeepAspect, "縦横比を保持(&K)"}});
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
    doc_.endDrag();
    QWidget::mousePressEvent(event);
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
    doc_.endDrag();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace kelvane

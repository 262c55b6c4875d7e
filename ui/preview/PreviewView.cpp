#include "ui/preview/PreviewView.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <utility>

#include "model/DocumentMessages.h"
#include "model/TimelineCommands.h"
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

void PreviewView::holdPicture(bool hold) {
    if (hold == holdsPicture()) {
        return;
    }
    held_ = hold ? grab() : QPixmap();
    update();
}

void PreviewView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect pane = rect();
    if (!held_.isNull()) {
        painter.drawPixmap(pane, held_);
        return;
    }
    painter.fillRect(pane, palette().color(QPalette::Base));
    if (!preview_.on()) {
        return;
    }
    if (playbackFrame_ != nullptr) {
        const QSize size(playbackFrame_->Width(), playbackFrame_->Height());
        drawStretched(painter, *playbackFrame_, keepAspect_.on() ? fittedRect(size, pane) : pane);
        emit playbackFramePainted();
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
    if (const std::optional<QPolygonF> outline = dragOutline()) {
        QPolygonF shown;
        for (const QPointF& corner : *outline) {
            shown << panePoint(corner);
        }
        // Dark dashes over a light line: seen on any picture.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawPolygon(shown);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawPolygon(shown);
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

QRect PreviewView::pictureRect() const {
    const ProjectSettings& settings = doc_.project().settings;
    const QSize size(int(settings.width), int(settings.height));
    return keepAspect_.on() ? fittedRect(size, rect()) : rect();
}

std::optional<QPointF> PreviewView::outputPoint(QPoint panePoint) const {
    const ProjectSettings& settings = doc_.project().settings;
    const QRect picture = pictureRect();
    if (!preview_.on() || !showsComposition() || playbackFrame_ != nullptr || holdsPicture() ||
        picture.isEmpty() || settings.width == 0 || settings.height == 0) {
        return std::nullopt;
    }
    // The centre of the pane pixel, in output pixels.
    return QPointF((panePoint.x() + 0.5 - picture.x()) * settings.width / picture.width(),
                   (panePoint.y() + 0.5 - picture.y()) * settings.height / picture.height());
}

QPointF PreviewView::panePoint(QPointF output) const {
    const ProjectSettings& settings = doc_.project().settings;
    const QRect picture = pictureRect();
    return QPointF(picture.x() + output.x() * picture.width() / std::max(1u, settings.width),
                   picture.y() + output.y() * picture.height() / std::max(1u, settings.height));
}

std::optional<QPolygonF> PreviewView::dragOutline() const {
    if (!move_) {
        return std::nullopt;
    }
    return move_->footprint.outline.translated(move_->by);
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
    doc_.endDrag();
    const QPoint at = event->position().toPoint();
    const std::optional<QPointF> point = outputPoint(at);
    if (event->button() != Qt::LeftButton || !point || !pictureRect().contains(at)) {
        QWidget::mousePressEvent(event);
        return;
    }
    const PreviewRequest request = doc_.previewRequest();
    std::optional<uint32_t> onlyTrack;
    if (request.kind == PreviewKind::TrackAtFrame) {
        onlyTrack = request.track;
    } else if (event->modifiers() & Qt::AltModifier) {
        onlyTrack = currentTrack_ ? currentTrack_() : std::nullopt;
        if (!onlyTrack) {
            return;
        }
    }
    std::optional<EventFootprint> hit =
        eventUnder(doc_.project(), request.frame, *point, onlyTrack);
    if (hit) {
        move_ = EventMove{std::move(*hit), *point, QPointF()};
        setCursor(Qt::SizeAllCursor);
        update();
    }
    event->accept();
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
    if (!move_ || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const std::optional<QPointF> point = outputPoint(event->position().toPoint());
    if (point) {
        const QPointF by =
            constrainedMove(*point - move_->from, (event->modifiers() & Qt::ShiftModifier) != 0);
        // Whole output pixels, as the event dialog shows positions.
        move_->by = QPointF(std::round(by.x()), std::round(by.y()));
        update();
    }
    event->accept();
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
    doc_.endDrag();
    if (move_ && event->button() == Qt::LeftButton) {
        endDrag(true);
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void PreviewView::focusOutEvent(QFocusEvent* event) {
    endDrag(false);
    QWidget::focusOutEvent(event);
}

void PreviewView::endDrag(bool apply) {
    if (!move_) {
        return;
    }
    const EventMove move = *std::exchange(move_, std::nullopt);
    unsetCursor();
    update();
    if (apply && !move.by.isNull()) {
        // The moved event alone becomes selected on its track, so that the event dialog opens on
        // it; the move itself is one edit of the selection.
        const uint32_t index = move.footprint.index;
        TimelineCommands& timeline = doc_.document().Timeline();
        timeline.Select(move.footprint.track,
                        [index](uint32_t i, const TrackEvent&) { return i == index; });
        timeline.EditSelected(
            move.footprint.track, [by = move.by](TrackEvent& e) { moveEventBy(e, by); }, false);
    }
}

}  // namespace kelvane

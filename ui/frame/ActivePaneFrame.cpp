#include "ui/frame/ActivePaneFrame.h"

#include <QEvent>
#include <QPainter>
#include <QRegion>

ActivePaneFrame::ActivePaneFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void ActivePaneFrame::watch(QWidget* pane, bool on) {
    // The pane moves inside its splitter, and the splitter inside the grid when the row bar moves.
    for (QWidget* w = pane; w != nullptr && w != parentWidget(); w = w->parentWidget()) {
        if (on) {
            w->installEventFilter(this);
        } else {
            w->removeEventFilter(this);
        }
    }
}

void ActivePaneFrame::follow(QWidget* pane) {
    if (pane == pane_) {
        place();
        return;
    }
    if (pane_ != nullptr) {
        watch(pane_, false);
    }
    pane_ = pane;
    if (pane_ != nullptr) {
        watch(pane_, true);
    }
    place();
}

void ActivePaneFrame::place() {
    if (pane_ == nullptr || !pane_->isVisibleTo(parentWidget())) {
        hide();
        return;
    }
    // Around the pane, in the border its slot keeps free, never over what the pane paints.
    const QRect area = QRect(pane_->mapTo(parentWidget(), QPoint(0, 0)), pane_->size())
                           .adjusted(-kWidth, -kWidth, kWidth, kWidth);
    setGeometry(area);
    const QRect own = rect();
    setMask(QRegion(own).subtracted(QRegion(own.adjusted(kWidth, kWidth, -kWidth, -kWidth))));
    raise();
    show();
    update();
}

bool ActivePaneFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void ActivePaneFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Highlight));
}

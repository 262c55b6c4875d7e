#include "ui/frame/PanePlaceholder.h"

#include <QPainter>

PanePlaceholder::PanePlaceholder(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(name);
    setAccessibleName(name);
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

bool PanePlaceholder::commandState(CommandId, CommandState&) const {
    return false;
}

void PanePlaceholder::runCommand(CommandId) {}

void PanePlaceholder::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(contentsRect(), Qt::AlignCenter, objectName());
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(contentsRect().adjusted(1, 1, -1, -1));
    }
}

#include "ui/timeline/DragCursors.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>

namespace timeline {

const QCursor& moveEventsCursor() {
    static const QCursor cursor = [] {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        // The box, dashed, below and to the right of the arrow's tip.
        QPen dashed(Qt::black, 1, Qt::DashLine);
        p.setPen(dashed);
        p.setBrush(Qt::NoBrush);
        p.drawRect(10, 16, 16, 10);
        // The arrow: white inside a black outline, its tip at (0, 0).
        const QPolygon arrow({QPoint(0, 0), QPoint(0, 16), QPoint(4, 12), QPoint(7, 18),
                              QPoint(9, 17), QPoint(6, 11), QPoint(11, 11)});
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPolygon(arrow);
        p.end();
        return QCursor(pixmap, 0, 0);
    }();
    return cursor;
}

}  // namespace timeline

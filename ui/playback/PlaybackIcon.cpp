#include "ui/playback/PlaybackIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStyle>

namespace {

// A play triangle or a stop square in `colour`, filling most of a square of `side` pixels.
QPixmap drawnSymbol(bool playing, int side, const QColor& colour) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal margin = side / 8.0;
    if (playing) {
        painter.drawRect(QRectF(margin, margin, side - 2 * margin, side - 2 * margin));
    } else {
        QPainterPath triangle;
        triangle.moveTo(margin * 1.5, margin);
        triangle.lineTo(side - margin, side / 2.0);
        triangle.lineTo(margin * 1.5, side - margin);
        triangle.closeSubpath();
        painter.drawPath(triangle);
    }
    return pixmap;
}

}  // namespace

QIcon playbackIcon(bool playing, const QStyle* style) {
    const QString themeName =
        playing ? QStringLiteral("media-playback-stop") : QStringLiteral("media-playback-start");
    if (QIcon::hasThemeIcon(themeName)) {
        return QIcon::fromTheme(themeName);
    }
    // Qt's own media pictures are pale grey, as a disabled button's are: a button that works
    // must not look greyed. Drawn in the text colour, and in the disabled text colour when off.
    const QPalette palette = style->standardPalette();
    QIcon icon;
    for (int side : {16, 24, 32, 48}) {
        icon.addPixmap(
            drawnSymbol(playing, side, palette.color(QPalette::Active, QPalette::ButtonText)),
            QIcon::Normal);
        icon.addPixmap(
            drawnSymbol(playing, side, palette.color(QPalette::Disabled, QPalette::ButtonText)),
            QIcon::Disabled);
    }
    return icon;
}

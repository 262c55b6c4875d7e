#include "ui/preview/StretchedImage.h"

#include <QPainter>

namespace kelvane {

QImage wrapPixels(const PixelImage& image) {
    if (image.Empty() || image.BitsPerPixel() != 32 || image.Width() <= 0 || image.Height() <= 0) {
        return {};
    }
    // 0x00RRGGBB words are Qt's RGB32 layout; the fourth byte is not read as alpha.
    return QImage(image.Pixels(), image.Width(), image.Height(), qsizetype(image.Pitch()),
                  QImage::Format_RGB32);
}

void drawStretched(QPainter& painter, const PixelImage& image, const QRect& target) {
    const QImage pixels = wrapPixels(image);
    if (pixels.isNull() || target.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The rows are stored bottom-up: mirror vertically rather than copy them into top-down order.
    painter.translate(target.left(), target.top() + target.height());
    painter.scale(1, -1);
    painter.drawImage(QRectF(0, 0, target.width(), target.height()), pixels,
                      QRectF(0, 0, pixels.width(), pixels.height()));
    painter.restore();
}

}  // namespace kelvane

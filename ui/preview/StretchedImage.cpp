#include "ui/preview/StretchedImage.h"

#include <QPainter>
#include <algorithm>

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

QRect fittedRect(const QSize& image, const QRect& pane) {
    if (image.isEmpty() || pane.isEmpty()) {
        return pane;
    }
    const int64_t w = pane.width();
    const int64_t h = pane.height();
    // Whichever side fills the pane decides the scale; the other is rounded to whole pixels.
    int64_t width = w;
    int64_t height = h;
    if (w * image.height() <= h * image.width()) {
        height = (w * image.height() * 2 + image.width()) / (2 * image.width());
    } else {
        width = (h * image.width() * 2 + image.height()) / (2 * image.height());
    }
    width = std::clamp<int64_t>(width, 1, w);
    height = std::clamp<int64_t>(height, 1, h);
    return QRect(pane.left() + int((w - width) / 2), pane.top() + int((h - height) / 2), int(width),
                 int(height));
}

}  // namespace kelvane

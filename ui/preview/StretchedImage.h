#pragma once

#include <QImage>
#include <QRect>

#include "render/PixelImage.h"

class QPainter;

namespace kelvane {

// A QImage over the image's own pixels, no copy: its rows as stored, so bottom row first. Null
// for anything but a 32-bit image. Valid while the image keeps its pixels.
QImage wrapPixels(const PixelImage& image);

// Draws a 32-bit image stretched over `target` the right way up. Every pane pixel takes one
// source pixel: rows and columns are repeated or dropped, never blended.
void drawStretched(QPainter& painter, const PixelImage& image, const QRect& target);

// The largest rectangle of the image's shape inside `pane`, centred in it (at least 1 x 1).
QRect fittedRect(const QSize& image, const QRect& pane);

}  // namespace kelvane

#include "media/TextImage.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "media/QtGuiRuntime.h"

namespace kelvane {

namespace {

// A record without a height asks for the default size; cells larger than this are taken as a
// damaged record rather than a request for a poster.
constexpr int32_t kDefaultCellHeight = 16;
constexpr int32_t kMaxFontPixels = 4096;
// Text images beyond these bounds are refused: they would not fit a frame and cost gigabytes.
constexpr int64_t kMaxImageSide = 32767;
constexpr int64_t kMaxImagePixels = int64_t(1) << 27;

bool Antialiased(const LogFont& font, int32_t mode) {
    if (mode == 1 || mode == 2)
        return true;
    if (mode == 3)
        return false;
    return font.quality != kFontQualityNonAntialiased;
}

QFont FontFromLogFont(const LogFont& record, int32_t mode) {
    QFont font;
    size_t faceLength = 0;
    while (faceLength < std::size(record.faceName) && record.faceName[faceLength] != 0) {
        ++faceLength;
    }
    if (faceLength > 0) {
        font.setFamily(QString::fromUtf16(record.faceName, qsizetype(faceLength)));
    }
    int32_t weight = record.weight <= 0 ? 400 : std::min(record.weight, 1000);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    // Grey smoothing only: sub-pixel colour fringes would not survive the clean-up pass.
    font.setStyleStrategy(QFont::StyleStrategy(
        (Antialiased(record, mode) ? QFont::PreferAntialias : QFont::NoAntialias) |
        QFont::NoSubpixelAntialias));

    // A positive height is the cell (ascent + descent), a negative one the character height.
    // Escapement and orientation are not applied: the event's placement turns the image.
    int64_t height = record.height;
    if (height < 0) {
        font.setPixelSize(int(std::clamp<int64_t>(-height, 1, kMaxFontPixels)));
    } else {
        int cell =
            int(height == 0 ? kDefaultCellHeight : std::min<int64_t>(height, kMaxFontPixels));
        font.setPixelSize(cell);
        qreal measured = QFontMetricsF(font).height();
        if (measured > 0) {
            int pixels = int(std::lround(qreal(cell) * cell / measured));
            font.setPixelSize(std::max(1, pixels));
        }
    }
    if (record.width > 0) {
        qreal average = QFontMetricsF(font).averageCharWidth();
        if (average > 0) {
            font.setStretch(
                int(std::clamp<qreal>(std::round(100 * record.width / average), 1, 4000)));
        }
    }
    return font;
}

// Lines break at CR LF, CR or LF.
std::vector<QString> SplitLines(const QString& text) {
    std::vector<QString> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.push_back(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.push_back(text.mid(start));
    return lines;
}

bool CopyToPixelImage(const QImage& drawn, PixelImage& image) {
    PixelImage result;
    if (!result.Create(drawn.width(), drawn.height(), 32))
        return false;
    for (int y = 0; y < drawn.height(); ++y) {
        const uint32_t* from = reinterpret_cast<const uint32_t*>(drawn.constScanLine(y));
        uint32_t* to = result.Row32(y);
        for (int x = 0; x < drawn.width(); ++x)
            to[x] = from[x] & 0x00FFFFFF;
    }
    image = std::move(result);
    return true;
}

// The coverage of glyphs drawn in opaque text colour onto a transparent image is their alpha.
bool CopyCoverage(const QImage& drawn, uint32_t textPixel, PixelImage& image) {
    PixelImage result;
    if (!result.Create(drawn.width(), drawn.height(), 32))
        return false;
    for (int y = 0; y < drawn.height(); ++y) {
        const uint32_t* from = reinterpret_cast<const uint32_t*>(drawn.constScanLine(y));
        uint32_t* to = result.Row32(y);
        for (int x = 0; x < drawn.width(); ++x)
            to[x] = (from[x] & 0xFF000000u) | textPixel;
    }
    result.SetAlpha(PixelAlpha::Straight);
    image = std::move(result);
    return true;
}

void CleanUp(PixelImage& image, int32_t mode, uint32_t t, uint32_t b) {
    if (mode != 1 && mode != 2)
        return;
    for (int32_t y = 0; y < image.Height(); ++y) {
        uint32_t* row = image.Row32(y);
        for (int32_t x = 0; x < image.Width(); ++x) {
            uint32_t p = row[x] & 0x00FFFFFF;
            if (mode == 1) {
                row[x] = p == t ? t : b;  // smoothed edges are cut away
            } else {
                row[x] = p == b ? b : t;  // every touched pixel becomes solid text
            }
        }
    }
}

}  // namespace

bool MakeTextImage(std::u16string_view text, uint32_t textColour, const LogFont& font,
                   int32_t textImageMode, PixelImage& image, bool smoothEdges) {
    const uint32_t background = TextBackground(textColour);
    const uint32_t t = SwapRedBlue(textColour & 0xFFFFFF);
    const uint32_t b = SwapRedBlue(background);

    if (text.empty()) {
        PixelImage single;
        if (!single.Create(1, 1, 32))
            return false;
        single.Row32(0)[0] = smoothEdges ? t : b;  // with alpha 0 when smooth
        if (smoothEdges)
            single.SetAlpha(PixelAlpha::Straight);
        image = std::move(single);
        return true;
    }
    if (!EnsureGuiApplication())
        return false;

    // Mode 1 smooths the glyphs whatever the font record says.
    const int32_t mode = smoothEdges ? 1 : textImageMode;
    const QFont qfont = FontFromLogFont(font, mode);
    const QFontMetricsF metrics(qfont);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    // Tab stops every eight average character widths, as the text was laid out when written.
    option.setTabStopDistance(std::max<qreal>(1, 8 * metrics.averageCharWidth()));

    const QString all = QString::fromUtf16(text.data(), qsizetype(text.size()));
    std::vector<QString> lineTexts = SplitLines(all);
    std::vector<std::unique_ptr<QTextLayout>> layouts;
    qreal width = 0;
    qreal ascent = metrics.ascent();
    qreal descent = metrics.descent();
    for (const QString& lineText : lineTexts) {
        auto layout = std::make_unique<QTextLayout>(lineText, qfont);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        layout->beginLayout();
        QTextLine line = layout->createLine();
        if (line.isValid()) {
            line.setNumColumns(std::max<qsizetype>(lineText.size(), 1));
        }
        layout->endLayout();
        if (line.isValid()) {
            width = std::max(width, line.naturalTextWidth());
            // A fallback font (Japanese in a Latin face) may reach further than the face.
            ascent = std::max(ascent, line.ascent());
            descent = std::max(descent, line.descent());
        }
        layouts.push_back(std::move(layout));
    }
    const int64_t lineHeight = std::max<int64_t>(1, int64_t(std::ceil(ascent + descent)));
    const int64_t imageWidth = std::max<int64_t>(1, int64_t(std::ceil(width)));
    const int64_t imageHeight = lineHeight * int64_t(layouts.size());
    if (imageWidth > kMaxImageSide || imageHeight > kMaxImageSide ||
        imageWidth * imageHeight > kMaxImagePixels) {
        return false;
    }

    QImage drawn(int(imageWidth), int(imageHeight),
                 smoothEdges ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (drawn.isNull())
        return false;
    // The whole image is background, also beside lines shorter than the longest: only the text
    // itself may show once the background is taken as transparent.
    drawn.fill(smoothEdges ? QColor(Qt::transparent) : QColor::fromRgb(b));
    {
        QPainter painter;
        if (!painter.begin(&drawn))
            return false;
        painter.setRenderHint(QPainter::TextAntialiasing, Antialiased(font, mode));
        painter.setPen(QColor::fromRgb(t));
        for (size_t i = 0; i < layouts.size(); ++i) {
            QTextLayout& layout = *layouts[i];
            if (layout.lineCount() == 0)
                continue;
            QTextLine line = layout.lineAt(0);
            line.setPosition(QPointF(0, qreal(i) * qreal(lineHeight) + ascent - line.ascent()));
            layout.draw(&painter, QPointF(0, 0));
        }
        painter.end();
    }

    if (smoothEdges)
        return CopyCoverage(drawn, t, image);
    PixelImage result;
    if (!CopyToPixelImage(drawn, result))
        return false;
    CleanUp(result, textImageMode, t, b);
    image = std::move(result);
    return true;
}

}  // namespace kelvane

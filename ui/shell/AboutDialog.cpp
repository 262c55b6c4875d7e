#include "ui/shell/AboutDialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    auto* text = new QLabel(kVersionText, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    // As wide as its caption needs as well as its texts: a title bar narrower than the title
    // cuts it. The window manager draws the caption, so its font is guessed as the bold one.
    const QSize content = layout->sizeHint();
    setFixedSize(std::max(content.width(), captionWidth(kTitle, font())), content.height());
}

int AboutDialog::captionWidth(const QString& title, const QFont& font) {
    QFont bold(font);
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    // The window's icon and up to three buttons, each about a square of two lines of text.
    const int decorations = 4 * 2 * metrics.height();
    return metrics.horizontalAdvance(title) + decorations;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        // Three layers, back to front, offset like events stacked on tracks.
        const QColor colours[] = {QColor(0x2e, 0x5c, 0x8a), QColor(0x3f, 0x8f, 0x5f),
                                  QColor(0xd9, 0x8c, 0x1f)};
        for (int i = 0; i < 3; ++i) {
            const QRectF layer(unit * (1 + 2.5 * i), unit * (1 + 2.5 * i), unit * 9, unit * 9);
            painter.setPen(QPen(Qt::black, unit * 0.6));
            painter.setBrush(colours[i]);
            painter.drawRoundedRect(layer, unit, unit);
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

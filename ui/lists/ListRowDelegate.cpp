#include "ui/lists/ListRowDelegate.h"

#include <QPainter>

namespace kelvane {

QFont listFont() {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
                      QStringLiteral("monospace")});
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(16);
    return font;
}

void ListRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool selected = index.data(kRowSelectedRole).toBool();
    const bool current = index.data(kRowCurrentRole).toBool();
    const QColor fill = selected ? QColor(192, 192, 192) : QColor(Qt::white);
    const QColor outline = current ? QColor(255, 0, 0) : selected ? QColor(128, 128, 128) : fill;
    painter->save();
    const QRect box = option.rect.adjusted(0, 0, -1, -1);
    painter->fillRect(option.rect, fill);
    painter->setPen(outline);
    painter->drawRect(box);
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize ListRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kRowHeight);
    return size;
}

}  // namespace kelvane

#pragma once

#include <QStyledItemDelegate>

namespace kelvane {

// Roles the list models give beside the row text.
enum ListRole {
    kRowSelectedRole = Qt::UserRole + 1,  // bool: the row is selected
    kRowCurrentRole,                      // bool: the row is the pane's current row
    kRowItemRole,                         // int: the file ID or template slot of the row
};

// The font the lists and the preview pane write with: 16 pixels high, a fixed-width Japanese
// face, so that the columns of the rows line up.
QFont listFont();

// Draws a list row as a box: light grey with a grey outline when selected, white otherwise, a
// red outline for the current row, the text left-aligned on one line.
class ListRowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int kRowHeight = 20;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace kelvane

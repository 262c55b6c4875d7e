#include "ui/frame/PaneGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/frame/ActivePaneFrame.h"

namespace {
// How far one arrow key moves a bar in the keyboard split.
constexpr int kSplitStep = 8;

// Every pane sits inside a border as wide as the active pane's frame, and the frame is drawn in
// that border: the pane's own outer pixels (the cursor at frame 0, the ruler's first column, the
// preview's edges) stay visible whether the pane is active or not.
QWidget* framedSlot(QWidget* pane) {
    auto* slot = new QWidget;
    auto* layout = new QVBoxLayout(slot);
    layout->setContentsMargins(ActivePaneFrame::kWidth, ActivePaneFrame::kWidth,
                               ActivePaneFrame::kWidth, ActivePaneFrame::kWidth);
    layout->setSpacing(0);
    layout->addWidget(pane);
    return slot;
}
}  // namespace

PaneGrid::PaneGrid(const std::array<QWidget*, 4>& panes, QWidget* parent)
    : QWidget(parent), panes_(panes) {
    rows_ = new QSplitter(Qt::Vertical, this);
    rows_->setChildrenCollapsible(false);
    for (int row = 0; row < 2; ++row) {
        QSplitter* columns = new QSplitter(Qt::Horizontal, rows_);
        columns->setChildrenCollapsible(false);
        columns->addWidget(framedSlot(panes_[size_t(row * 2)]));
        columns->addWidget(framedSlot(panes_[size_t(row * 2 + 1)]));
        columns->setStretchFactor(1, 1);
        columns_[size_t(row)] = columns;
        connect(columns, &QSplitter::splitterMoved, this,
                [this, columns] { followColumn(columns); });
    }
    rows_->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rows_);
    activeFrame_ = new ActivePaneFrame(this);
}

void PaneGrid::setActivePane(int index) {
    activeFrame_->follow(index >= 0 && index < int(panes_.size()) ? panes_[size_t(index)]
                                                                  : nullptr);
}

int PaneGrid::paneIndexOf(const QWidget* widget) const {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        const auto found = std::find(panes_.begin(), panes_.end(), widget);
        if (found != panes_.end()) {
            return int(found - panes_.begin());
        }
    }
    return -1;
}

int PaneGrid::columnBarPosition() const {
    return columns_[0]->sizes().value(0);
}

int PaneGrid::rowBarPosition() const {
    return rows_->sizes().value(0);
}

void PaneGrid::setBarPositions(int column, int row) {
    // The grid's own size: the splitters inside may not have followed a resize yet.
    const int width = std::max(this->width() - columns_[0]->handleWidth(), 0);
    const int height = std::max(this->height() - rows_->handleWidth(), 0);
    column = std::clamp(column, 0, width);
    row = std::clamp(row, 0, height);
    for (QSplitter* columns : columns_) {
        columns->setSizes({column, width - column});
    }
    rows_->setSizes({row, height - row});
}

void PaneGrid::followColumn(QSplitter* from) {
    const QList<int> sizes = from->sizes();
    for (QSplitter* columns : columns_) {
        if (columns != from && columns->sizes() != sizes) {
            columns->setSizes(sizes);
        }
    }
}

void PaneGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The initial sizes need the real size of the client area, known from the first layout on.
    // Layouts before the window is shown may pass through tiny sizes; the sizes hold from the
    // first size the user sees on.
    if (!sized_ && width() > 0 && height() > 0) {
        setBarPositions(initialColumn_, initialRow_);
        sized_ = isVisible();
    }
}

void PaneGrid::startKeyboardSplit() {
    if (splitting_) {
        return;
    }
    splitting_ = true;
    savedColumn_ = columnBarPosition();
    savedRow_ = rowBarPosition();
    // The grid takes the focus, so that the arrows, Enter and Esc reach it before the window's
    // accelerators do.
    focusBeforeSplit_ = QApplication::focusWidget();
    setFocusPolicy(Qt::StrongFocus);
    installEventFilter(this);
    setFocus(Qt::OtherFocusReason);
    setCursor(Qt::SizeAllCursor);
}

void PaneGrid::endKeyboardSplit(bool keep, bool restoreFocus) {
    splitting_ = false;
    removeEventFilter(this);
    unsetCursor();
    setFocusPolicy(Qt::NoFocus);
    if (!keep) {
        setBarPositions(savedColumn_, savedRow_);
    }
    if (restoreFocus && focusBeforeSplit_ != nullptr) {
        focusBeforeSplit_->setFocus(Qt::OtherFocusReason);
    }
}

bool PaneGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched != this || !splitting_) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        endKeyboardSplit(true, false);  // the focus went elsewhere: let it
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Left:
            setBarPositions(columnBarPosition() - kSplitStep, rowBarPosition());
            break;
        case Qt::Key_Right:
            setBarPositions(columnBarPosition() + kSplitStep, rowBarPosition());
            break;
        case Qt::Key_Up:
            setBarPositions(columnBarPosition(), rowBarPosition() - kSplitStep);
            break;
        case Qt::Key_Down:
            setBarPositions(columnBarPosition(), rowBarPosition() + kSplitStep);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            endKeyboardSplit(true, true);
            break;
        case Qt::Key_Escape:
            endKeyboardSplit(false, true);
            break;
        default:
            break;
    }
    return true;
}

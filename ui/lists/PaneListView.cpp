#include "ui/lists/PaneListView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <utility>

#include "ui/lists/ListRowDelegate.h"

namespace kelvane {

PaneListView::PaneListView(QWidget* parent) : QListView(parent) {
    setItemDelegate(new ListRowDelegate(this));
    setFont(listFont());
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    // Both lists take drops (files from the desktop or the file list) and mark nothing while one
    // hovers.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void PaneListView::showSelection(const std::vector<int>& rows, int currentRow) {
    QItemSelectionModel* model = selectionModel();
    if (model == nullptr) {
        return;
    }
    showing_ = true;
    QItemSelection selection;
    for (int row : rows) {
        const QModelIndex at = this->model()->index(row, 0);
        selection.select(at, at);
    }
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    if (currentRow >= 0) {
        model->setCurrentIndex(this->model()->index(currentRow, 0), QItemSelectionModel::NoUpdate);
    }
    showing_ = false;
    viewport()->update();
    if (commandsChanged_) {
        commandsChanged_();
    }
}

void PaneListView::setModel(QAbstractItemModel* model) {
    ++ownWork_;
    QListView::setModel(model);
    --ownWork_;
}

void PaneListView::setSelectionModel(QItemSelectionModel* selectionModel) {
    ++ownWork_;
    QListView::setSelectionModel(selectionModel);
    --ownWork_;
}

bool PaneListView::event(QEvent* event) {
    ++ownWork_;
    const bool handled = QListView::event(event);
    --ownWork_;
    return handled;
}

bool PaneListView::viewportEvent(QEvent* event) {
    ++ownWork_;
    const bool handled = QListView::viewportEvent(event);
    --ownWork_;
    return handled;
}

void PaneListView::keyPressEvent(QKeyEvent* event) {
    // The keys the list handles itself (Space, Home, End, Page Up, Ctrl+A, ...) are the user's.
    const bool was = std::exchange(userInput_, true);
    QListView::keyPressEvent(event);
    userInput_ = was;
}

void PaneListView::restoreOwnSelectionLater() {
    // Not from inside the selection model's signal: the list is still busy with its change.
    if (std::exchange(restorePosted_, true)) {
        return;
    }
    QTimer::singleShot(0, this, [this] {
        restorePosted_ = false;
        showOwnSelection();
    });
}

void PaneListView::selectionChanged(const QItemSelection& selected,
                                    const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    if (showing_) {
        return;
    }
    if (!changeIsTheUsers()) {
        restoreOwnSelectionLater();
        return;
    }
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    selectionChangedFromView(rows);
    viewport()->update();
    if (commandsChanged_) {
        commandsChanged_();
    }
}

void PaneListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QListView::currentChanged(current, previous);
    if (!showing_ && current.isValid() && !changeIsTheUsers()) {
        restoreOwnSelectionLater();
        return;
    }
    if (!showing_ && current.isValid()) {
        currentChangedFromView(current.row());
        viewport()->update();
    }
}

void PaneListView::armDrag(int row, const QPoint& at) {
    dragRow_ = row;
    dragFrom_ = at;
}

void PaneListView::mouseMoveEvent(QMouseEvent* event) {
    if (dragRow_ >= 0 && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - dragFrom_).manhattanLength() >=
            QApplication::startDragDistance()) {
        const int row = dragRow_;
        dragRow_ = -1;
        startRowDrag(row);
        return;
    }
    // No rubber band and no selection by dragging: the rows are dragged, not swept.
    event->accept();
}

}  // namespace kelvane

#pragma once

#include <functional>
#include <vector>

#include <QListView>
#include <QPoint>

#include "ui/commands/CommandTarget.h"

namespace kelvane {

// What the file list and the template list share: a list of one-line rows drawn as boxes, whose
// selection the pane keeps itself (as the document's operations expect it) and mirrors into the
// view's selection model, so that assistive technology reads and sets the same selection. A press
// on a row arms a drag, which starts once the pointer has moved far enough.
//
// Only the user changes the pane's selection: keys, the mouse, or assistive technology (which
// sets the selection model from outside any work of the view). What Qt's list does on its own,
// in answer to focus, resizing, timers or a new model, is undone rather than taken: opening a
// project and moving through the panes must leave the project as it was.
class PaneListView : public QListView, public CommandTarget {
    Q_OBJECT

  public:
    explicit PaneListView(QWidget* parent);

    // Called when the pane's selection changed, so the menus follow (cut, copy, properties).
    void setCommandsChanged(std::function<void()> changed) {
        commandsChanged_ = std::move(changed);
    }

  protected:
    // The rows that are selected in the pane, and its current row (-1: none).
    void showSelection(const std::vector<int>& rows, int currentRow);
    // The selection model changed from outside the pane (keyboard, assistive technology).
    virtual void selectionChangedFromView(const std::vector<int>& rows) = 0;
    // Shows the pane's own selection again after the list changed it by itself.
    virtual void showOwnSelection() = 0;
    virtual void currentChangedFromView(int row) = 0;
    // The armed drag has moved far enough: row of the press.
    virtual void startRowDrag(int row) = 0;

    void armDrag(int row, const QPoint& at);
    void disarmDrag() { dragRow_ = -1; }

    void setModel(QAbstractItemModel* model) override;
    void setSelectionModel(QItemSelectionModel* selectionModel) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Typing selects by key in the template list; searching rows by their text (which all begin
    // with a space) would only move the current row away.
    void keyboardSearch(const QString&) override {}

  private:
    // True when a change of the selection model answers the user.
    bool changeIsTheUsers() const { return userInput_ || ownWork_ == 0; }
    void restoreOwnSelectionLater();

    std::function<void()> commandsChanged_;
    bool showing_ = false;
    bool userInput_ = false;
    int ownWork_ = 0;  // depth of the view's events and set-up calls
    bool restorePosted_ = false;
    int dragRow_ = -1;
    QPoint dragFrom_;
};

}  // namespace kelvane

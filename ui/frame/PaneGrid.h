#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

class QSplitter;
class ActivePaneFrame;

// The client area: two rows by two columns of panes with movable bars. The column bar spans
// both rows, as one bar: moving it in one row moves it in the other. The first row starts 240
// pixels high and the first column 320 pixels wide; the rest goes to the second row and column.
class PaneGrid : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kFirstColumnWidth = 320;
    static constexpr int kFirstRowHeight = 240;

    // Panes in the order row 0 column 0, row 0 column 1, row 1 column 0, row 1 column 1.
    PaneGrid(const std::array<QWidget*, 4>& panes, QWidget* parent);

    QWidget* pane(int index) const { return panes_[size_t(index)]; }
    // The pane holding `widget`, or -1 when it lies in none of them.
    int paneIndexOf(const QWidget* widget) const;

    // The bars' places once the grid first shows, instead of the first row's and column's
    // default sizes (a negative value keeps the default).
    void setInitialBarPositions(int column, int row) {
        initialColumn_ = column >= 0 ? column : kFirstColumnWidth;
        initialRow_ = row >= 0 ? row : kFirstRowHeight;
    }
    // Whether the bars stand where the user sees them (the grid has been shown at its size).
    bool barsSettled() const { return sized_; }
    int columnBarPosition() const;
    int rowBarPosition() const;
    void setBarPositions(int column, int row);

    // Draws the frame of the active pane around pane `index` (-1: none).
    void setActivePane(int index);
    const ActivePaneFrame* activeFrame() const { return activeFrame_; }

    // "分割": the arrow keys move the bars until Enter keeps or Esc restores them.
    void startKeyboardSplit();
    bool isKeyboardSplitActive() const { return splitting_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void followColumn(QSplitter* from);
    void endKeyboardSplit(bool keep, bool restoreFocus);

    std::array<QWidget*, 4> panes_;
    QSplitter* rows_;
    std::array<QSplitter*, 2> columns_;
    ActivePaneFrame* activeFrame_;
    bool sized_ = false;
    int initialColumn_ = kFirstColumnWidth;
    int initialRow_ = kFirstRowHeight;
    bool splitting_ = false;
    int savedColumn_ = 0;
    int savedRow_ = 0;
    QPointer<QWidget> focusBeforeSplit_;
};

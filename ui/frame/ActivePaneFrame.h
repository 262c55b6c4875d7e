#pragma once

#include <QPointer>
#include <QWidget>

// A ring in the palette's highlight colour around the active pane, the one whose commands the
// menus run, so that the user sees where they act. It lies in the border that the grid keeps
// around every pane, takes no input and follows its pane through moves of the bars and resizes
// of the window.
class ActivePaneFrame : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 2;

    // `parent` holds the panes, however deep inside it they lie.
    explicit ActivePaneFrame(QWidget* parent);

    // Frames `pane` from now on; null hides the frame.
    void follow(QWidget* pane);
    QWidget* framedPane() const { return pane_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void place();
    void watch(QWidget* pane, bool on);

    QPointer<QWidget> pane_;
};

#pragma once

#include <QWidget>
#include <array>

class QLabel;

// The status bar's "CAP", "NUM" and "SCRL" indicators: each lit while its lock is on and greyed
// while it is off, or always greyed where the platform does not report the locks (only X11 does,
// through XKB). They follow the keyboard when told, never by polling.
class LockIndicators : public QWidget {
    Q_OBJECT
  public:
    enum Lock { Caps, Num, Scroll };

    explicit LockIndicators(QWidget* parent);

    QLabel* label(Lock lock) const { return labels_[size_t(lock)]; }
    // Reads the locks again: on a lock key, and when the window is activated.
    void refresh();
    // Whether the platform reports the locks at all.
    static bool platformReportsLocks();

  private:
    std::array<QLabel*, 3> labels_{};
};

#include "ui/shell/FirstPaintProbe.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class FirstPaintFilter : public QObject {
  public:
    FirstPaintFilter(QWidget* window, bool exitAfter) : QObject(window), exitAfter_(exitAfter) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !reported_) {
            reported_ = true;
            // The rest of the window paints in the same pass; report once the pass is over.
            QTimer::singleShot(0, this, [this, window = static_cast<QWidget*>(watched)] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("first-paint %lld\n",
                            static_cast<long long>(
                                std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
                std::fflush(stdout);
                if (exitAfter_) {
                    window->close();
                }
            });
        }
        return false;
    }

  private:
    bool exitAfter_;
    bool reported_ = false;
};

}  // namespace

void watchFirstPaint(QWidget* window) {
    const char* mode = std::getenv("KELVANE_FIRST_PAINT");
    if (mode == nullptr || *mode == '\0') {
        return;
    }
    window->installEventFilter(new FirstPaintFilter(window, std::strcmp(mode, "exit") == 0));
}

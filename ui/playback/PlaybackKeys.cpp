#include "ui/playback/PlaybackKeys.h"

#include <QApplication>
#include <QKeyEvent>

#include "ui/frame/MainWindow.h"
#include "ui/frame/PaneGrid.h"

namespace {

constexpr int kPreviewPane = 0;
constexpr int kTimelinePane = 3;

}  // namespace

PlaybackKeys::PlaybackKeys(MainWindow& window, std::function<void()> toggle)
    : window_(window), toggle_(std::move(toggle)) {
    qApp->installEventFilter(this);
}

PlaybackKeys::~PlaybackKeys() {
    qApp->removeEventFilter(this);
}

bool PlaybackKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() != Qt::Key_Space || modifiers != Qt::NoModifier) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != &window_ || window_.paneGrid() == nullptr) {
        return false;
    }
    const int pane = window_.paneGrid()->paneIndexOf(widget);
    if (pane != kPreviewPane && pane != kTimelinePane) {
        return false;
    }
    if (!key->isAutoRepeat()) {
        toggle_();
    }
    return true;
}

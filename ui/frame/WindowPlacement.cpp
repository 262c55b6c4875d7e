#include "ui/frame/WindowPlacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include "platform/ProfileFile.h"
#include "ui/frame/PaneGrid.h"

namespace window_placement {

namespace {

constexpr const char* kSection = "MainFrame";

// Whether some screen shows enough of the rectangle to grab its title bar.
bool onSomeScreen(const QRect& area) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect seen = screen->availableGeometry().intersected(area);
        if (seen.width() >= 64 && seen.height() >= 32) {
            return true;
        }
    }
    return false;
}

}  // namespace

void restore(QMainWindow& window, const kelvane::ProfileFile& profile) {
    const int width = profile.ReadInt(kSection, "Width", 0);
    const int height = profile.ReadInt(kSection, "Height", 0);
    if (width <= 0 || height <= 0) {
        return;
    }
    const QRect area(profile.ReadInt(kSection, "Left", 0), profile.ReadInt(kSection, "Top", 0),
                     width, height);
    window.resize(area.size());
    if (onSomeScreen(area)) {
        window.move(area.topLeft());
    }
    if (profile.ReadInt(kSection, "Maximized", 0) != 0) {
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
}

void save(const QMainWindow& window, kelvane::ProfileFile& profile) {
    const bool maximized = window.isMaximized();
    // A maximised window keeps the place it returns to.
    // pos() is the frame's corner, as move() takes it back.
    const QRect area = maximized ? window.normalGeometry() : QRect(window.pos(), window.size());
    if (area.isValid()) {
        profile.WriteInt(kSection, "Left", area.x());
        profile.WriteInt(kSection, "Top", area.y());
        profile.WriteInt(kSection, "Width", area.width());
        profile.WriteInt(kSection, "Height", area.height());
    }
    profile.WriteInt(kSection, "Maximized", maximized ? 1 : 0);
}

Bars savedBars(const kelvane::ProfileFile& profile) {
    return Bars{profile.ReadInt(kSection, "ColumnBar", -1),
                profile.ReadInt(kSection, "RowBar", -1)};
}

void saveBars(const PaneGrid& grid, kelvane::ProfileFile& profile) {
    profile.WriteInt(kSection, "ColumnBar", grid.columnBarPosition());
    profile.WriteInt(kSection, "RowBar", grid.rowBarPosition());
}

}  // namespace window_placement

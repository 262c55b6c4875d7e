#pragma once

class QMainWindow;
class PaneGrid;

namespace kelvane {
class ProfileFile;
}

// The main window's place on the desktop and the positions of its bars, kept in the INI file's
// section "MainFrame" from one run to the next. A place that no screen shows any more (a monitor
// taken away) is not restored: the window opens where the desktop puts it.
namespace window_placement {

void restore(QMainWindow& window, const kelvane::ProfileFile& profile);
void save(const QMainWindow& window, kelvane::ProfileFile& profile);

// The bars as the user left them, or -1 when none are kept.
struct Bars {
    int column = -1;
    int row = -1;
};
Bars savedBars(const kelvane::ProfileFile& profile);
void saveBars(const PaneGrid& grid, kelvane::ProfileFile& profile);

}  // namespace window_placement

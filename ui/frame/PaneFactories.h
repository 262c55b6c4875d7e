#pragma once

#include <array>
#include <functional>

class QWidget;
struct PaneContext;

// The four panes of the main window, one factory each, in one file each so that each pane's
// owner edits only its own. Every pane's widget also derives from CommandTarget, carries its
// accessible name and takes the focus when clicked.
QWidget* makePreviewPane(const PaneContext& context, QWidget* parent);    // row 0, column 0
QWidget* makeFileListPane(const PaneContext& context, QWidget* parent);   // row 0, column 1
QWidget* makeEventListPane(const PaneContext& context, QWidget* parent);  // row 1, column 0
QWidget* makeTimelinePane(const PaneContext& context, QWidget* parent);   // row 1, column 1

// The four panes in the order above, made by whoever builds them.
using PaneSet = std::array<QWidget*, 4>;
using PaneFactory = std::function<PaneSet(const PaneContext& context, QWidget* parent)>;

// The program's own four panes, from the factories above.
PaneSet makeStandardPanes(const PaneContext& context, QWidget* parent);

#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace kelvane {

// "途中までのファイル: PATH (N フレーム)": the file a stopped export leaves behind, which holds
// every frame written before the stop and plays as it is.
QString partialFileText(const QString& path, uint32_t frames);

// Tells the user that the export was stopped by "中断": the export's stop message, then the
// partial file on a second line, in a box with the information icon (a cancel is no error), and
// the same in the status bar of the parent's main window.
void showExportCancelled(QWidget* parent, const QString& path, uint32_t frames);

}  // namespace kelvane

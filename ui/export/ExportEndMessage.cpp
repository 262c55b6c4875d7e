#include "ui/export/ExportEndMessage.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "export/ExportMessages.h"
#include "platform/UserPrompt.h"

namespace kelvane {

QString partialFileText(const QString& path, uint32_t frames) {
    return QStringLiteral("途中までのファイル: %1 (%2 フレーム)").arg(path).arg(frames);
}

void showExportCancelled(QWidget* parent, const QString& path, uint32_t frames) {
    const QString stopped = QString::fromUtf8(kExportStopped);
    const QString partial = partialFileText(path, frames);
    if (auto* window = parent != nullptr ? qobject_cast<QMainWindow*>(parent->window()) : nullptr) {
        // Kept until the next message replaces it: the user may want the path a while later.
        window->statusBar()->showMessage(stopped + QLatin1Char(' ') + partial);
    }
    const QString caption = QString::fromUtf8(kProgramCaption);
    QMessageBox box(QMessageBox::Information, caption, stopped + QLatin1Char('\n') + partial,
                    QMessageBox::Ok, parent);
    box.setAccessibleName(caption);
    box.exec();
}

}  // namespace kelvane

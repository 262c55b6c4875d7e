#include "cli/QtMessages.h"

#include <QString>
#include <QtGlobal>

namespace kelvane::cli {

namespace {

QtMessageHandler previous = nullptr;

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) {
        return;
    }
    if (previous != nullptr) {
        previous(type, context, message);
    }
}

}  // namespace

void QuietQtSessionNotes() {
    previous = qInstallMessageHandler(Filter);
}

}  // namespace kelvane::cli

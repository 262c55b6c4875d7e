#include "ui/shell/DocumentDialogs.h"

#include "ui/dialogs/PropertyDialogs.h"
#include "ui/export/ExportCommand.h"
#include "ui/shell/DocumentSession.h"

void connectDocumentDialogs(DocumentSession& session, const PaneContext& context, QWidget* window) {
    session.setProjectSettingsDialog(
        [&document = context.document, window] { kelvane::editProjectSettings(window, document); });
    session.setExportDialog([&document = context.document, &profile = context.profile, window] {
        kelvane::exportAvi(window, document, profile);
    });
}

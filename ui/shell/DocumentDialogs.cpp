#include "ui/shell/DocumentDialogs.h"

#include "ui/shell/DocumentSession.h"

void connectDocumentDialogs(DocumentSession& session, const PaneContext& context, QWidget* window) {
    // The project properties dialog and the export come with their own parts of the window:
    //   session.setProjectSettingsDialog([&document = context.document, window] { ... });
    //   session.setExportDialog([&document = context.document, window] { ... });
    (void)session;
    (void)context;
    (void)window;
}

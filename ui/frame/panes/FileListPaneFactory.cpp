#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/lists/FileListView.h"

QWidget* makeFileListPane(const PaneContext& context, QWidget* parent) {
    auto* view = new kelvane::FileListView(context.document, context.profile, parent);
    view->setCommandsChanged(context.commandsChanged);
    return view;
}

#include "ui/dialogs/PropertyDialogs.h"
#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/lists/FileListView.h"

QWidget* makeFileListPane(const PaneContext& context, QWidget* parent) {
    auto* view = new kelvane::FileListView(context.document, context.profile, parent);
    view->setCommandsChanged(context.commandsChanged);
    view->setPropertiesEditor([&document = context.document](QWidget* owner, uint32_t id,
                                                             kelvane::FileSelection& selection) {
        return kelvane::editFileProperties(owner, document, id, selection);
    });
    return view;
}

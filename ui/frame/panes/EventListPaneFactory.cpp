#include "ui/dialogs/PropertyDialogs.h"
#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/lists/TemplateListView.h"

QWidget* makeEventListPane(const PaneContext& context, QWidget* parent) {
    auto* view = new kelvane::TemplateListView(context.document, context.profile, parent);
    view->setCommandsChanged(context.commandsChanged);
    view->setPropertiesEditor([&document = context.document](QWidget* owner) {
        return kelvane::editTemplateProperties(owner, document);
    });
    return view;
}

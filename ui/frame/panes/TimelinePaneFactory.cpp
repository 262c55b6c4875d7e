#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/timeline/TimelineView.h"

QWidget* makeTimelinePane(const PaneContext& context, QWidget* parent) {
    auto* view = new TimelineView(context.document, &context.profile, parent);
    view->setCommandsChanged(context.commandsChanged);
    return view;
}

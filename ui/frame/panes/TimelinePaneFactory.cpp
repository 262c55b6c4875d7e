#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/frame/PanePlaceholder.h"

QWidget* makeTimelinePane(const PaneContext& context, QWidget* parent) {
    (void)context;
    return new PanePlaceholder(QStringLiteral("タイムライン"), parent);
}

#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/frame/PanePlaceholder.h"

QWidget* makePreviewPane(const PaneContext& context, QWidget* parent) {
    (void)context;
    return new PanePlaceholder(QStringLiteral("プレビュー"), parent);
}

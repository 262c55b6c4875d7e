#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/frame/PanePlaceholder.h"

QWidget* makeFileListPane(const PaneContext& context, QWidget* parent) {
    (void)context;
    return new PanePlaceholder(QStringLiteral("ファイル一覧"), parent);
}

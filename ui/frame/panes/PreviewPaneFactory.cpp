#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"
#include "ui/preview/PreviewView.h"

QWidget* makePreviewPane(const PaneContext& context, QWidget* parent) {
    return new kelvane::PreviewView(context.document, context.prompt, context.profile, parent);
}

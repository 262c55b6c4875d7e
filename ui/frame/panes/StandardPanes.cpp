#include "ui/frame/PaneFactories.h"

PaneSet makeStandardPanes(const PaneContext& context, QWidget* parent) {
    return {
        makePreviewPane(context, parent),
        makeFileListPane(context, parent),
        makeEventListPane(context, parent),
        makeTimelinePane(context, parent),
    };
}

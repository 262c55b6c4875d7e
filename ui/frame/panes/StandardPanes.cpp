#include <QPointer>

#include "ui/frame/PaneFactories.h"
#include "ui/lists/FileListView.h"
#include "ui/preview/PreviewView.h"
#include "ui/timeline/TimelineView.h"

namespace {

// The file list puts a file on the timeline by key or menu, as a drag from it would.
void linkFileListToTimeline(QWidget* fileList, QWidget* timeline) {
    auto* files = qobject_cast<kelvane::FileListView*>(fileList);
    QPointer<TimelineView> target = qobject_cast<TimelineView*>(timeline);
    if (files != nullptr && target != nullptr) {
        files->setTimelinePlacer(
            [target](uint32_t id) { return target != nullptr && target->placeFile(id); });
    }
}

// Alt+drag in the preview moves the event of the timeline's current track.
void linkPreviewToTimeline(QWidget* preview, QWidget* timeline) {
    auto* view = qobject_cast<kelvane::PreviewView*>(preview);
    QPointer<TimelineView> source = qobject_cast<TimelineView*>(timeline);
    if (view != nullptr && source != nullptr) {
        view->setCurrentTrackSource([source]() -> std::optional<uint32_t> {
            if (source == nullptr) {
                return std::nullopt;
            }
            return source->state().currentTrack;
        });
    }
}

}  // namespace

PaneSet makeStandardPanes(const PaneContext& context, QWidget* parent) {
    PaneSet panes = {
        makePreviewPane(context, parent),
        makeFileListPane(context, parent),
        makeEventListPane(context, parent),
        makeTimelinePane(context, parent),
    };
    linkFileListToTimeline(panes[1], panes[3]);
    linkPreviewToTimeline(panes[0], panes[3]);
    return panes;
}

#include "ui/timeline/DetailLayout.h"

#include <algorithm>

#include "model/TimeFormat.h"
#include "ui/timeline/TrackBars.h"

namespace timeline {

std::vector<ItemBox> layoutDetailBoxes(const kelvane::Track& track, const TimelineState& state,
                                       const QRect& visible) {
    std::vector<ItemBox> boxes;
    const auto events = track.EventSpan();
    if (events.empty() || (events[0].flags & kelvane::kEventUsed) == 0) {
        return boxes;
    }
    const uint32_t zoom = state.zoom;
    const int64_t laneEnd = int64_t(visible.right()) + 1 + kLookAhead;
    const uint32_t leftFrame = leftEdgeFrame(visible.left(), zoom);
    const uint64_t endFrame = uint64_t(laneEnd) * zoom >> 5;
    // The lane: from the event in force at the left edge up to the first beyond the look-ahead.
    size_t i = firstStartingAfter(events, leftFrame);
    i = i == 0 ? 0 : i - 1;
    for (; i < events.size() && events[i].start < endFrame && boxes.size() < kMaxLaneBoxes; ++i) {
        const int64_t right = i + 1 < events.size()
                                  ? std::min(frameToX(events[i + 1].start, zoom), laneEnd)
                                  : laneEnd;
        const int64_t left = frameToX(events[i].start, zoom);
        boxes.push_back(ItemBox{
            ItemBox::Kind::Lane,
            QRect(QPoint(int(left), kDetailLaneTop), QPoint(int(right) - 1, kDetailLaneBottom - 1)),
            uint32_t(i), (events[i].flags & kelvane::kEventSelected) != 0});
    }
    // The rows: one per event from the cursor on, only those in view.
    const auto first = std::lower_bound(
        events.begin(), events.end(), state.cursor,
        [](const kelvane::TrackEvent& event, uint32_t frame) { return event.start < frame; });
    size_t index = size_t(first - events.begin());
    int y = kDetailRowsTop;
    if (visible.top() - kRowHeight >= y) {
        const size_t skipped = size_t(visible.top() - kRowHeight - y) / kRowHeight + 1;
        index += skipped;
        y += int(skipped) * kRowHeight;
    }
    const int bottom = visible.bottom() + 1;
    for (; index < events.size() && y <= kDetailRowsLimit && y < bottom &&
           boxes.size() < size_t(kMaxBoxes);
         ++index, y += kRowHeight) {
        boxes.push_back(
            ItemBox{ItemBox::Kind::Row, QRect(visible.left(), y, visible.width(), kRowHeight),
                    uint32_t(index), (events[index].flags & kelvane::kEventSelected) != 0});
    }
    return boxes;
}

int hitDetailBox(const std::vector<ItemBox>& boxes, QPoint point) {
    for (const ItemBox& box : boxes) {
        if (box.rect.contains(point)) {
            return int(box.event);
        }
    }
    return -1;
}

QString detailRowText(const kelvane::TrackEvent& event, double frameRate) {
    return QStringLiteral(" %1 ID:%2")
        .arg(QString::fromStdU16String(kelvane::FormatFrameTime(event.start, frameRate)))
        .arg(event.fileId, 4, 10, QLatin1Char('0'));
}

}  // namespace timeline

#include "ui/preview/PreviewDrag.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/EventGeometry.h"
#include "render/SamplingMatrix.h"
#include "render/TrackEvaluation.h"
#include "settings/AppSettings.h"

namespace kelvane {

namespace {

QPointF mapped(const float m[9], double x, double y) {
    const double w = m[6] * x + m[7] * y + m[8];
    if (w == 0 || !std::isfinite(w)) {
        return QPointF(NAN, NAN);
    }
    return QPointF((m[0] * x + m[1] * y + m[2]) / w, (m[3] * x + m[4] * y + m[5]) / w);
}

bool drawsAFile(const Project& project, const TrackEvent& event) {
    return (event.flags & kEventUsed) != 0 && event.fileId >= 0 &&
           size_t(event.fileId) < kFileSlots && project.files[size_t(event.fileId)].Used();
}

}  // namespace

std::optional<EventFootprint> footprintAt(const Project& project, uint32_t track, uint32_t frame) {
    if (track >= kTrackCount) {
        return std::nullopt;
    }
    const Track& stored = project.tracks[track];
    const auto events = stored.EventSpan();
    // The last event that has started by the frame is in force.
    const auto after =
        std::upper_bound(events.begin(), events.end(), frame,
                         [](uint32_t f, const TrackEvent& event) { return f < event.start; });
    if (after == events.begin()) {
        return std::nullopt;
    }
    const uint32_t index = uint32_t(after - events.begin() - 1);
    if (!drawsAFile(project, events[index])) {
        return std::nullopt;
    }
    // Evaluated on a track of our own that shares the events: the project's evaluation state
    // belongs to the renderer.
    Track evaluated;
    evaluated.ShareFrom(stored);
    evaluated.EvalState().defaultMethod = stored.EvalState().defaultMethod;
    ResetTrackEvalState(evaluated);
    EvaluateTrack(evaluated, frame, Settings().pixelQuality);
    const TrackEvent& e = evaluated.EvalState().working;
    if (e.right <= e.left || e.bottom <= e.top) {
        return std::nullopt;
    }
    // The working matrix includes the pixel-centre offset of sampling; the footprint is where
    // the region lies on the output, without it.
    float centre[9];
    float forward[9];
    InvertMatrix(SamplingMatrix().data(), centre);
    MultiplyMatrices(centre, e.matrix, forward);
    QPolygonF outline;
    const std::pair<int32_t, int32_t> corners[] = {
        {e.left, e.top}, {e.right, e.top}, {e.right, e.bottom}, {e.left, e.bottom}};
    for (const auto& [x, y] : corners) {
        const QPointF p = mapped(forward, x, y);
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            return std::nullopt;
        }
        outline << p;
    }
    return EventFootprint{track, index, outline};
}

std::optional<EventFootprint> eventUnder(const Project& project, uint32_t frame, QPointF point,
                                         std::optional<uint32_t> onlyTrack) {
    for (int track = int(kTrackCount) - 1; track >= 0; --track) {
        if (onlyTrack && *onlyTrack != uint32_t(track)) {
            continue;
        }
        std::optional<EventFootprint> footprint = footprintAt(project, uint32_t(track), frame);
        if (footprint && footprint->outline.containsPoint(point, Qt::OddEvenFill)) {
            return footprint;
        }
    }
    return std::nullopt;
}

QPointF constrainedMove(QPointF delta, bool axisOnly) {
    if (!axisOnly) {
        return delta;
    }
    return std::abs(delta.x()) >= std::abs(delta.y()) ? QPointF(delta.x(), 0)
                                                      : QPointF(0, delta.y());
}

void moveEventBy(TrackEvent& event, QPointF delta) {
    const auto dx = float(delta.x());
    const auto dy = float(delta.y());
    if (event.flags & kEventParametric) {
        event.positionX += dx;
        event.positionY += dy;
        return;
    }
    // Translation after the matrix, T . M: exact for a projective matrix too.
    for (int c = 0; c < 3; ++c) {
        event.matrix[c] += dx * event.matrix[6 + c];
        event.matrix[3 + c] += dy * event.matrix[6 + c];
    }
    InvertMatrix(event.matrix, event.inverse);
}

}  // namespace kelvane

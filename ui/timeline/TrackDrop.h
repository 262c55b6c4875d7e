#pragma once

#include <cstdint>
#include <optional>

class QMimeData;

namespace timeline {

// What another pane drags onto the timeline: a file-table entry or a template slot.
struct TrackDrop {
    enum class Source { File, Template };
    Source source;
    uint32_t index;  // file ID (0-1023) or template slot (0-63)

    // None for data that carries neither, or a number out of range.
    static std::optional<TrackDrop> fromMime(const QMimeData* data);
};

}  // namespace timeline

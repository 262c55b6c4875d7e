#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/EventTemplate.h"
#include "model/FileEntry.h"
#include "model/ProjectSettings.h"
#include "model/Track.h"
#include "platform/Path.h"

namespace kelvane {

constexpr size_t kFileSlots = 1024;
constexpr size_t kTrackCount = 256;

// A whole project with fixed capacity. Large: created on the heap through Create, and copied
// only field by field (undo snapshots copy descriptors, not loaded objects).
class Project {
  public:
    // An empty project (no files, no events, no templates, pre-default settings); null when
    // memory runs out.
    static std::unique_ptr<Project> Create();

    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;
    ~Project() = default;

    // The settings of a new project. Files, tracks and templates stay as they are.
    void ApplyDefaults();

    // The project settings command. With `rescale`, starts, steps and the given length keep
    // their times rather than their frame numbers under the new rate; playback positions are
    // times already and stay. A rescale first gives every track its own event array; false,
    // with nothing changed, when memory runs out for that.
    bool ApplySettings(bool rescale, uint32_t width, uint32_t height, uint32_t length,
                       uint32_t background, int32_t defaultDrawMethod, double frameRate,
                       const PathBuffer& basePath);

    // Every track's evaluation state keeps a copy of the default draw method.
    void CopyDefaultMethodToTracks();

    std::array<FileEntry, kFileSlots> files;
    std::array<Track, kTrackCount> tracks;
    std::array<EventTemplate, kTemplateSlots> templates{};
    // What each template slot's event carries beyond its record.
    std::array<EventExtras, kTemplateSlots> templateExtras{};
    // The project file's folder, without the last backslash; never stored in the file.
    PathBuffer projectFolder{};
    ProjectSettings settings;

  private:
    Project() = default;
};

}  // namespace kelvane

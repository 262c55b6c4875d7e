#include "bench/LargeProject.h"

#include <string>
#include <vector>

#include "platform/Path.h"

namespace kelvane::bench {

std::unique_ptr<Project> LargeProject(uint32_t eventsPerTrack) {
    std::unique_ptr<Project> p = Project::Create();
    p->ApplyDefaults();
    for (uint32_t id = 0; id < 1000; ++id) {
        FileEntry& entry = p->files[id];
        entry.kind = FileKind::Image;
        CopyPath(entry.path, FromUtf8("\\pictures\\picture" + std::to_string(id) + ".png"));
        entry.colour = kNoTransparentColour;
    }
    std::vector<TrackEvent> events(eventsPerTrack);
    for (uint32_t i = 0; i < events.size(); ++i) {
        TrackEvent& e = events[i];
        e = TrackEvent{};
        e.flags = kEventUsed | kEventParametric;
        e.start = i * 30;
        e.fileId = int32_t(i % 1000);
        e.right = 320;
        e.bottom = 240;
        e.colour = 0x00FFFFFF;
        e.scale = 1.0f;
    }
    for (Track& track : p->tracks) {
        track.InsertSorted(events.data(), uint32_t(events.size()));
    }
    return p;
}

namespace {
struct NoSource : LoadedSource {};
}  // namespace

bool DescribingLoader::OpenEntry(Project&, FileEntry& entry) {
    entry.loaded = std::make_unique<NoSource>();
    entry.colour = kNoTransparentColour;
    return true;
}

bool DescribingLoader::MakeText(Project&, FileEntry& entry, std::u16string_view text,
                                uint32_t textColour, const LogFont& font) {
    entry.kind = FileKind::Text;
    entry.colour = TextKeyColour(textColour);
    entry.font = font;
    return entry.SetText(text);
}

}  // namespace kelvane::bench

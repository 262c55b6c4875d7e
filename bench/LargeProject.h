#pragma once

#include <cstdint>
#include <memory>

#include "model/Project.h"
#include "model/SourceLoader.h"

namespace kelvane::bench {

// The large project the file and history benchmarks share: 1000 picture entries (descriptors
// only, nothing loaded) and 256 tracks of `eventsPerTrack` events each (10,000 make the 389 MB
// project of the edit benchmarks).
std::unique_ptr<Project> LargeProject(uint32_t eventsPerTrack = 1000);

// Reads such projects back: every entry is accepted and described, no medium is loaded.
class DescribingLoader : public SourceLoader {
  public:
    bool OpenEntry(Project&, FileEntry& entry) override;
    bool MakeText(Project&, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override;
};

}  // namespace kelvane::bench

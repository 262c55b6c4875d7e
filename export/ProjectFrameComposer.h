#pragma once

#include <cstdint>

#include "export/ExportJob.h"
#include "export/FrameComposer.h"
#include "model/Project.h"

namespace kelvane {

// The export's frames composed from a project: the tracks are evaluated incrementally, so frames
// must be asked for in increasing order after ResetForExport.
class ProjectFrameComposer final : public FrameComposer {
  public:
    explicit ProjectFrameComposer(Project& project) : project_(project) {}

    void ResetForExport() override;
    bool Compose(uint32_t frame, PixelImage& out) override;
    bool HasSound() const override;
    void MixSound(int64_t s0, int64_t s1, float* out) override;

  private:
    Project& project_;
};

// The project's output settings as the export reads them. Sizes beyond the 32-bit signed range
// become 0, which the export's image allocation refuses.
ExportSettings ExportSettingsOf(const Project& project);

}  // namespace kelvane

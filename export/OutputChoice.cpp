#include "export/OutputChoice.h"

#include <algorithm>
#include <string>
#include <vector>

#include "export/AviWriter.h"
#include "export/CompressorChooser.h"
#include "export/ContainerWriter.h"
#include "export/OutputContainer.h"

namespace kelvane {

bool ChooseOutput(CompressorChooser& chooser, const OutputContainer* container,
                  OutputChoice& choice) {
    choice.compressor = nullptr;
    choice.container = container != nullptr && !container->IsAvi() ? container : nullptr;
    const std::vector<CompressorInfo> offered =
        choice.container != nullptr ? CompressorsFor(*choice.container) : AvailableCompressors();
    std::string chosen;
    if (!chooser.Choose(offered, chosen)) {
        return false;
    }
    const bool isOffered = std::any_of(offered.begin(), offered.end(),
                                       [&](const CompressorInfo& c) { return c.name == chosen; });
    const CompressorInfo* info = isOffered ? FindAnyCompressor(chosen) : nullptr;
    if (info == nullptr || (choice.container != nullptr && info->encoder.empty())) {
        return false;
    }
    choice.compressor = info->encoder.empty() ? nullptr : info;
    choice.quality = std::clamp(chooser.Quality(), -1, 100);
    return true;
}

std::unique_ptr<FrameWriter> MakeFrameWriter(const OutputChoice& choice) {
    if (choice.container != nullptr && !choice.container->IsAvi()) {
        if (choice.compressor == nullptr) {
            return nullptr;
        }
        return std::make_unique<ContainerWriter>(*choice.container, *choice.compressor,
                                                 choice.quality);
    }
    auto avi = std::make_unique<AviWriter>();
    avi->UseCompressor(choice.compressor, choice.quality);
    avi->Initialise();
    return avi;
}

}  // namespace kelvane

#include "ui/preview/PreviewImageFile.h"

#include "cli/PreviewBmpFile.h"

// kelvane-render builds the BMP writer into itself; the window builds the same source, so that
// both write the same bytes.
#include "cli/PreviewBmpFile.cpp"  // NOLINT(bugprone-suspicious-include)

namespace kelvane {

bool writePreviewImage(std::u16string_view path, const PixelImage& image) {
    return cli::WritePreviewBmp(path, image);
}

}  // namespace kelvane

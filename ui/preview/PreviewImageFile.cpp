#include "ui/preview/PreviewImageFile.h"

#include "media/BmpWriter.h"

namespace kelvane {

bool writePreviewImage(std::u16string_view path, const PixelImage& image) {
    return WritePreviewBmp(path, image);
}

}  // namespace kelvane

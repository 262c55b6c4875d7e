#include "ui/lists/PaneTestWorld.h"

#include "render/PixelTables.h"
#include "render/SamplingMatrix.h"

namespace lists {

std::u16string u16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

void prepareRendering() {
    kelvane::InitSamplingMatrix();
    kelvane::BuildPixelTables();
}

}  // namespace lists

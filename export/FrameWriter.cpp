#include "export/FrameWriter.h"

namespace kelvane {

bool ValidFrameInput(const BitmapInfoHeader& h) {
    if (h.width <= 0 || h.height <= 0 || h.planes != 1 || h.bitCount != 32 || h.compression != 0) {
        return false;
    }
    // The frames are handed in as whole 32-bit bitmaps; a header that claims another size would
    // have the file's index disagree with its chunks.
    const uint64_t bytes = uint64_t(h.width) * 4 * uint64_t(h.height);
    return bytes <= UINT32_MAX && (h.sizeImage == 0 || h.sizeImage == bytes);
}

}  // namespace kelvane

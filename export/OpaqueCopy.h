#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kelvane {

// Copies `size` bytes of 32-bit pixels (a multiple of 4) and writes 0xFF into every fourth byte
// of the copy. FFmpeg and the tools built on it read 32-bit uncompressed AVI as BGRA, so the
// unused fourth byte of our pixels, 0 in every image, would show them as fully transparent.
// `from` and `to` may be the same (not otherwise overlapping).
void CopyOpaque(const uint8_t* from, uint8_t* to, size_t size);

// A buffer of whole pages, for frames that go to the file in one write.
class PageAlignedBytes {
  public:
    bool Allocate(size_t size);
    uint8_t* Data() { return bytes_.get(); }
    size_t Size() const { return size_; }

  private:
    struct Free {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> bytes_;
    size_t size_ = 0;
};

}  // namespace kelvane

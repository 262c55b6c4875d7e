#include "export/OpaqueCopy.h"

#include <cstring>
#include <new>

namespace kelvane {

namespace {

constexpr size_t kPage = 4096;

}  // namespace

void CopyOpaque(const uint8_t* from, uint8_t* to, size_t size) {
    // Sixteen bytes at a time, four vectors per step: this pass touches every byte of every
    // frame, and the write that follows waits for it.
    typedef uint32_t Lanes __attribute__((vector_size(16)));
    const Lanes opaque = {0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u};
    size_t i = 0;
    for (; i + 64 <= size; i += 64) {
        Lanes v[4];
        std::memcpy(v, from + i, 64);
        v[0] |= opaque;
        v[1] |= opaque;
        v[2] |= opaque;
        v[3] |= opaque;
        std::memcpy(to + i, v, 64);
    }
    for (; i + 4 <= size; i += 4) {
        uint32_t pixel;
        std::memcpy(&pixel, from + i, 4);
        pixel |= 0xFF000000u;
        std::memcpy(to + i, &pixel, 4);
    }
}

bool PageAlignedBytes::Allocate(size_t size) {
    if (size == size_ && bytes_) {
        return true;
    }
    bytes_.reset();
    size_ = 0;
    const size_t rounded = (size + kPage - 1) / kPage * kPage;
    auto* p =
        static_cast<uint8_t*>(::operator new (rounded, std::align_val_t{kPage}, std::nothrow));
    if (p == nullptr) {
        return false;
    }
    bytes_.reset(p);
    size_ = size;
    return true;
}

void PageAlignedBytes::Free::operator()(uint8_t* p) const {
    ::operator delete (p, std::align_val_t{kPage});
}

}  // namespace kelvane

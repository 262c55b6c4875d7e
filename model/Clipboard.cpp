#include "model/Clipboard.h"

#include <exception>

namespace kelvane {

bool MemoryClipboard::Put(std::span<const uint8_t> block) {
    try {
        data_.assign(block.begin(), block.end());
    } catch (const std::exception&) {
        Clear();
        return false;
    }
    hasData_ = true;
    return true;
}

bool MemoryClipboard::Get(std::vector<uint8_t>& block) {
    if (!hasData_) {
        return false;
    }
    try {
        block = data_;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void MemoryClipboard::Clear() {
    data_.clear();
    hasData_ = false;
}

}  // namespace kelvane

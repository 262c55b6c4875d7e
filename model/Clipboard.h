#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane {

// The system clipboard as the event commands use it: one byte block under the program's own
// format. The GUI puts it on the desktop clipboard; tools and tests keep it in memory. Failures
// of the system are reported by the flag only; the commands end silently on them.
class Clipboard {
  public:
    virtual ~Clipboard() = default;

    // Replaces the clipboard's content with the block.
    virtual bool Put(std::span<const uint8_t> block) = 0;
    // The block under the program's format; false when there is none or it cannot be read.
    virtual bool Get(std::vector<uint8_t>& block) = 0;
};

// A clipboard that lives in the process: for tools without a desktop and for tests.
class MemoryClipboard : public Clipboard {
  public:
    bool Put(std::span<const uint8_t> block) override;
    bool Get(std::vector<uint8_t>& block) override;

    bool HasData() const { return hasData_; }
    const std::vector<uint8_t>& Data() const { return data_; }
    void Clear();

  private:
    std::vector<uint8_t> data_;
    bool hasData_ = false;
};

}  // namespace kelvane

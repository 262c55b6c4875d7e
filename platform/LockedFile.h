#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

// A file held under an exclusive advisory lock (flock) for as long as it is open: a process that
// dies, however it dies, lets go of it, so an unlocked file is one that nobody is writing. Paths
// are native (UTF-8, '/'). Closed, and so unlocked, on destruction.
class LockedFile {
  public:
    LockedFile() = default;
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;

    // Creates a new file (never an existing one) and locks it.
    bool Create(const std::string& path);
    // Opens an existing file read-write and locks it without waiting. False when it cannot be
    // opened, another process holds the lock, or the file was removed while we waited for it.
    bool OpenExisting(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    // Writes at the end of the file; a short write is a failure.
    bool Append(const void* data, size_t size);
    // Cuts the file back to `size` bytes (after a failed append).
    bool Truncate(uint64_t size);
    bool Size(uint64_t& size) const;
    // The bytes [offset, end).
    bool ReadFrom(uint64_t offset, std::vector<uint8_t>& out) const;
    // The data reaches the disk.
    bool Sync();
    void Close();

  private:
    int fd_ = -1;
};

}  // namespace kelvane

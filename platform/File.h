#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Whole-file read; false when the file cannot be opened or read completely.
bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& out);
bool WriteWholeFile(std::u16string_view path, const void* data, size_t size);
bool FileExists(std::u16string_view path);

// A file opened for positioned reading or writing. Every call returns a success flag; a short read
// or write is a failure. Closed on destruction. Failures (the whole-file calls' too) leave the
// file and the system's reason in the thread's FailureNote.
class File {
  public:
    enum class Mode { Read, CreateWrite, ReadWrite };

    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    bool Open(std::u16string_view path, Mode mode);
    bool IsOpen() const { return fd_ >= 0; }
    bool Read(void* buffer, size_t size);
    bool Write(const void* data, size_t size);
    bool Seek(uint64_t offset);
    bool Tell(uint64_t& offset) const;
    bool Size(uint64_t& size) const;
    bool Flush();  // data reaches the disk
    bool Close();  // false when a pending write failed

  private:
    int fd_ = -1;
    std::string path_;  // native, for the failure notes
};

}  // namespace kelvane

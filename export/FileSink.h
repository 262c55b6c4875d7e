#pragma once

#include <string>

extern "C" {
#include <libavformat/avio.h>
}

namespace kelvane {

// An output file for FFmpeg's muxers that passes each write it is handed to the system whole.
// FFmpeg's own file protocol takes at most 256 KB per write, so a 1080p frame of 8 MB would be
// copied through its buffer and written in 32 pieces; here the frame goes from where it lies to
// the file in one call. The muxer's small header fields are still gathered in a buffer.
class FileSink {
  public:
    FileSink() = default;
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Creates or truncates the file. False (nothing open) when it cannot be created.
    bool Open(const std::string& path);
    // The context to hand to the muxer as its pb; nullptr when not open.
    AVIOContext* Context() const { return io_; }
    // Writes what is buffered and closes the file; safe when not open.
    void Close();

  private:
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    static int Write(void* opaque, const uint8_t* bytes, int size);
#else
    static int Write(void* opaque, uint8_t* bytes, int size);
#endif
    static int64_t Seek(void* opaque, int64_t offset, int whence);

    int fd_ = -1;
    AVIOContext* io_ = nullptr;
};

}  // namespace kelvane

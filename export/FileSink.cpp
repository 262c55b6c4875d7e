#include "export/FileSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace kelvane {

namespace {

// As FFmpeg's file protocol buffers: the headers, the index and the chunk headers between frames.
constexpr int kBufferSize = 256 * 1024;

}  // namespace

FileSink::~FileSink() {
    Close();
}

bool FileSink::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        return false;
    }
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer != nullptr) {
        io_ = avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &FileSink::Write,
                                 &FileSink::Seek);
    }
    if (io_ == nullptr) {
        av_free(buffer);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    // Writes larger than the buffer go to Write as they are, not copied through the buffer.
    io_->direct = 1;
    return true;
}

void FileSink::Close() {
    if (io_ != nullptr) {
        avio_flush(io_);
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int FileSink::Write(void* opaque, const uint8_t* bytes, int size) {
#else
int FileSink::Write(void* opaque, uint8_t* bytes, int size) {
#endif
    const int fd = static_cast<FileSink*>(opaque)->fd_;
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return AVERROR(errno);
        }
        if (n == 0) {
            return AVERROR(EIO);
        }
        done += int(n);
    }
    return size;
}

int64_t FileSink::Seek(void* opaque, int64_t offset, int whence) {
    const int fd = static_cast<FileSink*>(opaque)->fd_;
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, off_t(offset), whence);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

}  // namespace kelvane

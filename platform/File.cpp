#include "platform/File.h"

#include <exception>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <exception>
#include <string>

#include "platform/FailureNote.h"
#include "platform/Path.h"

namespace kelvane {

namespace {

bool ReadFully(int fd, void* buffer, size_t size) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            errno = 0;  // the end of the file came first
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteFully(int fd, const void* data, size_t size) {
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;  // a write that takes nothing has found no room
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool CloseFd(int fd) {
    return ::close(fd) == 0 || errno == EINTR;
}

bool WriteInPlace(const std::string& native, const void* data, size_t size) {
    int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        NoteSystemFailure(native, errno);
        return false;
    }
    bool ok = WriteFully(fd, data, size);
    if (!ok) {
        NoteSystemFailure(native, errno);
    }
    if (!CloseFd(fd) && ok) {
        NoteSystemFailure(native, errno);
        ok = false;
    }
    return ok;
}

}  // namespace

bool ReadWholeFile(std::u16string_view path, std::vector<uint8_t>& out) {
    const std::string native = ToNativePath(path);
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        NoteSystemFailure(native, errno);
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        NoteSystemFailure(native, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    std::vector<uint8_t> data;
    if (ok) {
        // A file larger than memory is a failure to read, not the end of the program.
        try {
            data.resize(static_cast<size_t>(info.st_size));
        } catch (const std::exception&) {
            NoteSystemFailure(native, ENOMEM);
            ok = false;
        }
        if (ok && !ReadFully(fd, data.data(), data.size())) {
            NoteSystemFailure(native, errno == 0 ? EIO : errno);
            ok = false;
        }
    }
    ::close(fd);
    if (ok) {
        out = std::move(data);
    }
    return ok;
}

// The new contents go to a temporary file in the same folder that then replaces the old file, so
// that a failed write (a full disk, say) never leaves a half-written file behind. When the folder
// itself is not writable but the file is, the file is rewritten in place.
bool WriteWholeFile(std::u16string_view path, const void* data, size_t size) {
    static std::atomic<unsigned> counter{0};
    const std::string native = ToNativePath(path);
    const std::string temporary =
        native + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        // Only a folder closed to us justifies the riskier in-place write; a full disk does not.
        const int error = errno;
        const bool folderClosed = error == EACCES || error == EPERM;
        if (folderClosed) {
            return WriteInPlace(native, data, size);
        }
        NoteSystemFailure(native, error);
        return false;
    }
    struct stat existing {};
    if (::stat(native.c_str(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
    bool ok = WriteFully(fd, data, size) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (!CloseFd(fd) && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), native.c_str()) == 0) {
        return true;
    }
    NoteSystemFailure(native, ok ? errno : error);
    ::unlink(temporary.c_str());
    return false;
}

bool FileExists(std::u16string_view path) {
    struct stat info {};
    return ::stat(ToNativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

File::~File() {
    Close();
}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

// ReadWrite opens an existing file or creates a new one, never truncating what is there.
bool File::Open(std::u16string_view path, Mode mode) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::CreateWrite:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Mode::ReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
    }
    std::string native = ToNativePath(path);
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) {
        NoteSystemFailure(native, errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        NoteSystemFailure(native, S_ISDIR(info.st_mode) ? EISDIR : errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = std::move(native);
    return true;
}

bool File::Read(void* buffer, size_t size) {
    if (fd_ < 0) {
        return false;
    }
    if (!ReadFully(fd_, buffer, size)) {
        if (errno != 0) {
            NoteSystemFailure(path_, errno);
        }
        return false;
    }
    return true;
}

bool File::Write(const void* data, size_t size) {
    if (fd_ < 0) {
        return false;
    }
    if (!WriteFully(fd_, data, size)) {
        NoteSystemFailure(path_, errno);
        return false;
    }
    return true;
}

bool File::Seek(uint64_t offset) {
    if (fd_ < 0 || offset > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool File::Tell(uint64_t& offset) const {
    if (fd_ < 0) {
        return false;
    }
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) {
        return false;
    }
    offset = static_cast<uint64_t>(at);
    return true;
}

bool File::Size(uint64_t& size) const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        return false;
    }
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

bool File::Flush() {
    if (fd_ < 0) {
        return false;
    }
    if (::fsync(fd_) != 0) {
        NoteSystemFailure(path_, errno);
        return false;
    }
    return true;
}

bool File::Close() {
    if (fd_ < 0) {
        return true;
    }
    int fd = fd_;
    fd_ = -1;
    // A write the system held back may fail only now (a full disk over the network).
    if (!CloseFd(fd)) {
        NoteSystemFailure(path_, errno);
        return false;
    }
    return true;
}

}  // namespace kelvane

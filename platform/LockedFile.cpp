#include "platform/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <utility>

namespace kelvane {

LockedFile::~LockedFile() {
    Close();
}

LockedFile::LockedFile(LockedFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool LockedFile::Create(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool LockedFile::OpenExisting(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // A writer that removes its file unlinks it before it lets go of the lock: a file without
    // links, or another file at the path now, is gone, not abandoned.
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 || held.st_nlink == 0 ||
        ::stat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino ||
        named.st_dev != held.st_dev) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool LockedFile::Append(const void* data, size_t size) {
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_END) < 0) {
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool LockedFile::Truncate(uint64_t size) {
    return fd_ >= 0 && ::ftruncate(fd_, off_t(size)) == 0;
}

bool LockedFile::Size(uint64_t& size) const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        return false;
    }
    size = uint64_t(info.st_size);
    return true;
}

bool LockedFile::ReadFrom(uint64_t offset, std::vector<uint8_t>& out) const {
    uint64_t size = 0;
    if (!Size(size) || offset > size) {
        return false;
    }
    try {
        out.resize(size_t(size - offset));
    } catch (const std::exception&) {
        return false;
    }
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool LockedFile::Sync() {
    return fd_ >= 0 && ::fdatasync(fd_) == 0;
}

void LockedFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace kelvane

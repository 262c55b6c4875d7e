#include "export/ContainerCutPoint.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kelvane {

namespace {

// Closes the descriptor on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

bool ContainerCutPoint::Start(const std::string& path, uint64_t headerEnd, int& error) {
    header_.clear();
    end_ = headerEnd;
    frames_ = 0;
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        error = errno;
        return false;
    }
    header_.resize(size_t(headerEnd));
    size_t done = 0;
    while (done < header_.size()) {
        const ssize_t n =
            ::pread(file.get(), header_.data() + done, header_.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            header_.clear();
            return false;
        }
        done += size_t(n);
    }
    return true;
}

int64_t ContainerCutPoint::CutBack(const std::string& path, int& error) const {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (file.get() < 0 || ::ftruncate(file.get(), off_t(end_)) != 0) {
        error = errno;
        return -1;
    }
    // The header lies inside what was kept: writing it again takes no new room.
    size_t done = 0;
    while (done < header_.size()) {
        const ssize_t n =
            ::pwrite(file.get(), header_.data() + done, header_.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return -1;
        }
        done += size_t(n);
    }
    return frames_;
}

}  // namespace kelvane

#include "model/RecoveryJournal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "model/EditHistory.h"
#include "model/Project.h"
#include "platform/Path.h"

namespace kelvane {
namespace {

int64_t NowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<journal::BaseFile> StatBase(std::u16string_view path) {
    struct stat info {};
    if (path.empty() || ::stat(ToNativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return journal::BaseFile{uint64_t(info.st_size), int64_t(info.st_mtim.tv_sec),
                             int64_t(info.st_mtim.tv_nsec)};
}

bool Write(LockedFile& file, journal::RecordBuilder& record, const std::atomic<bool>* cancel) {
    for (const journal::RecordBuilder::Piece& piece : record.Pieces()) {
        if ((cancel && cancel->load()) || !file.Append(record.Data(piece), piece.size)) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<Project> SnapshotOf(const Project& project) {
    std::unique_ptr<Project> copy = Project::Create();
    if (!copy || !CopyProjectSnapshot(project, *copy)) {
        return nullptr;
    }
    return copy;
}

}  // namespace

RecoveryJournal::RecoveryJournal(std::string folder) : folder_(std::move(folder)) {}

RecoveryJournal::~RecoveryJournal() {
    StopCompaction();
}

std::string RecoveryJournal::FilePath() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return path_;
}

bool RecoveryJournal::Restart(const Project& live, std::u16string_view path, bool fromFile) {
    Remove();
    last_ = SnapshotOf(live);
    projectPath_ = std::u16string(path);
    baseFile_ = fromFile ? StatBase(path) : std::nullopt;
    return last_ != nullptr;
}

bool RecoveryJournal::Open() {
    static std::atomic<uint32_t> counter{0};
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    char name[96];
    std::snprintf(name, sizeof(name), "/%ld-%lld-%u.kvj", long(::getpid()),
                  static_cast<long long>(NowMillis()), counter.fetch_add(1));
    const std::string path = folder_ + name;
    LockedFile file;
    if (!file.Create(path)) {
        return false;
    }
    journal::RecordBuilder record;
    record.Begin(projectPath_);
    bool ok = Write(file, record, nullptr);
    if (ok && baseFile_) {
        record.Base(*baseFile_);
        ok = Write(file, record, nullptr);
    }
    if (!ok) {
        ::unlink(path.c_str());
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = std::move(file);
    path_ = path;
    baseBytes_ = baseFile_ ? baseFile_->size : 0;
    bytesSinceBase_ = 0;
    return true;
}

bool RecoveryJournal::Append(journal::RecordBuilder& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint64_t before = 0;
    if (!file_.Size(before)) {
        return false;
    }
    if (!Write(file_, record, nullptr)) {
        // A cut record would hide every record after it.
        file_.Truncate(before);
        return false;
    }
    lastRecordBytes_ = record.Size();
    bytesSinceBase_ += lastRecordBytes_;
    return true;
}

bool RecoveryJournal::Record(const Project& live) {
    lastRecordBytes_ = 0;
    if (!last_) {
        return false;
    }
    bool starting = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        starting = !file_.IsOpen();
    }
    journal::Changes changes;
    uint32_t flags = 0;
    if (starting) {
        if (!Open()) {
            return false;
        }
        if (baseFile_) {
            // The tracks are as the file holds them until an edit gave one a new array; the file
            // table, templates and settings may differ from the file already (a missing file
            // left out at opening), so they go in whole.
            changes = journal::Compare(*last_, live);
            const journal::Changes all = journal::Everything(live);
            changes.settings = true;
            changes.templates = true;
            changes.files = all.files;
            flags = journal::kStateAllFiles;
        } else {
            changes = journal::Everything(live);
            flags = journal::kStateWhole;
        }
    } else {
        changes = journal::Compare(*last_, live);
        if (changes.Empty()) {
            return true;
        }
    }
    const int64_t millis = NowMillis();
    journal::RecordBuilder record;
    record.State(live, changes, flags, millis);
    if (!Append(record)) {
        if (starting) {
            Remove();  // a journal without its first edit would stand on nothing
        }
        return false;
    }
    lastMillis_ = millis;
    if (flags & journal::kStateWhole) {
        std::lock_guard<std::mutex> lock(mutex_);
        baseBytes_ = lastRecordBytes_;
        bytesSinceBase_ = 0;
    }
    const bool taken = starting ? (last_ = SnapshotOf(live)) != nullptr
                                : journal::TakeChanges(live, *last_, changes);
    if (!taken) {
        last_.reset();
        return false;
    }
    MaybeCompact();
    return true;
}

void RecoveryJournal::MaybeCompact() {
    if (compacting_) {
        return;
    }
    if (compaction_.joinable()) {
        compaction_.join();  // ended already
    }
    uint64_t offset = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint64_t threshold = compactAfter_.value_or(std::max(uint64_t(64) << 20, baseBytes_));
        if (bytesSinceBase_ <= threshold || !file_.Size(offset)) {
            return;
        }
    }
    // The copy shares every event array with the recorded state; nothing writes into a shared
    // array, so the thread reads a state that cannot change.
    std::unique_ptr<Project> image = SnapshotOf(*last_);
    if (!image) {
        return;
    }
    cancel_ = false;
    compacting_ = true;
    compaction_ =
        std::thread(&RecoveryJournal::Compact, this, std::move(image), offset, lastMillis_);
}

void RecoveryJournal::Compact(std::unique_ptr<Project> image, uint64_t offset, int64_t millis) {
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag = false; }
    } done{compacting_};
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        path = path_;
    }
    const std::string temporary = path + ".compact";
    ::unlink(temporary.c_str());
    LockedFile out;
    if (!out.Create(temporary)) {
        return;
    }
    journal::RecordBuilder record;
    record.Begin(projectPath_);
    bool ok = Write(out, record, &cancel_);
    record.State(*image, journal::Everything(*image), journal::kStateWhole, millis);
    const uint64_t imageBytes = record.Size();
    ok = ok && Write(out, record, &cancel_) && out.Sync();
    image.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t> tail;
    ok = ok && !cancel_ && path_ == path && file_.ReadFrom(offset, tail) &&
         out.Append(tail.data(), tail.size()) && out.Sync() &&
         ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return;
    }
    file_ = std::move(out);
    baseBytes_ = imageBytes;
    bytesSinceBase_ = tail.size();
    compacted_ = true;
}

void RecoveryJournal::StopCompaction() {
    cancel_ = true;
    if (compaction_.joinable()) {
        compaction_.join();
    }
    cancel_ = false;
}

bool RecoveryJournal::WaitForCompaction() {
    if (compaction_.joinable()) {
        compaction_.join();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(compacted_, false);
}

void RecoveryJournal::Remove() {
    StopCompaction();
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.IsOpen()) {
        // Unlinked before the lock goes, so that no other process takes it for abandoned.
        ::unlink(path_.c_str());
        file_.Close();
    }
    path_.clear();
    baseBytes_ = 0;
    bytesSinceBase_ = 0;
}

}  // namespace kelvane

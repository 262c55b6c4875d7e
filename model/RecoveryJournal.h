#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "model/JournalFormat.h"
#include "platform/LockedFile.h"

namespace kelvane {

class Project;

// The crash journal of one open project: after every completed edit, what changed since the last
// record (the tracks that hold a new event array, the file slots, templates and settings that
// differ) is appended to a file "<folder>/<process>-<time>-<n>.kvj", locked for as long as this
// process runs. The first record after an open or a save stands on the project file as it was
// then; after a new project or a restore it is a whole image. When the records outgrow their base,
// a background thread writes a whole image of the last recorded state (shared, so it cannot change
// under the thread) and swaps it in with the records that came meanwhile. UI thread only, apart
// from that thread.
class RecoveryJournal {
  public:
    // `folder` is native; it is made when the first journal is.
    explicit RecoveryJournal(std::string folder);
    // Stops a compaction and lets go of the lock; the file stays, as after a crash.
    ~RecoveryJournal();
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    // The live project equals the project file at `path` (just opened or saved), or is a new or
    // restored project (`fromFile` false): the base of the next journal. Removes the journal kept
    // so far. False when memory runs out; nothing is recorded then until the next restart.
    bool Restart(const Project& live, std::u16string_view path, bool fromFile);
    // Appends what changed since the last record, starting the journal if there is none. False
    // when it could not be written; the next call records the changes of both.
    bool Record(const Project& live);
    // Removes the journal: a save or a clean close.
    void Remove();

    // The journal's native path; empty before the first record.
    std::string FilePath() const;
    // Bytes the last Record appended (0 when nothing had changed).
    uint64_t LastRecordBytes() const { return lastRecordBytes_; }
    // Records appended beyond this many bytes past the base start a compaction. By default the
    // records must outgrow both 64 MB and the base itself (a project file or a whole image), so
    // that rewriting the base costs no more than the records it folds in.
    void SetCompactionThreshold(uint64_t bytes) { compactAfter_ = bytes; }
    // Waits for a compaction in progress to end; true when one ran and swapped its file in.
    bool WaitForCompaction();

  private:
    bool Open();
    bool Append(journal::RecordBuilder& record);
    void MaybeCompact();
    void Compact(std::unique_ptr<Project> image, uint64_t offset, int64_t millis);
    void StopCompaction();

    const std::string folder_;
    std::unique_ptr<Project> last_;  // the project as the journal has it
    std::u16string projectPath_;
    std::optional<journal::BaseFile> baseFile_;
    bool allTablesNext_ = false;  // the first record on a base file carries every small part
    int64_t lastMillis_ = 0;
    uint64_t lastRecordBytes_ = 0;
    std::optional<uint64_t> compactAfter_;

    mutable std::mutex mutex_;  // the file and the counters below, against the compaction
    LockedFile file_;
    std::string path_;
    uint64_t baseBytes_ = 0;       // the base file or the whole image at the start
    uint64_t bytesSinceBase_ = 0;  // the records after it
    std::thread compaction_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> compacting_{false};
    bool compacted_ = false;
};

}  // namespace kelvane

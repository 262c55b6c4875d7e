#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/Project.h"

namespace kelvane {

class DocumentServices;

// Snapshot mode: `snapshot` becomes a copy of `live` that holds descriptors only (kind, text,
// path, reference duration, colour and font of every slot, no loaded object), the tracks' event
// arrays shared copy-on-write (see Track), and copies of the templates and the settings. `snapshot`
// may hold an older snapshot, which is overwritten. False when memory runs out; `snapshot` is then
// unusable.
bool CopyProjectSnapshot(const Project& live, Project& snapshot);

// Restore mode: `live` becomes equal to `snapshot` again, sharing its event arrays. Only slots
// whose description differs are loaded again, through `services`, with paths resolved against the
// snapshot's base path and folder; slots that stay keep their loaded object and current frame. A
// load that fails stops the restore there: earlier slots are done, the failing slot keeps what it
// had, and the later slots, the tracks, the templates and the settings are left alone.
bool RestoreProjectSnapshot(const Project& snapshot, Project& live, DocumentServices& services);

// The undo ring of the document: up to 16 snapshots, of which 15 can be undone; the sixteenth
// slot keeps the live state that the first undo leaves, for redo.
class EditHistory {
  public:
    static constexpr uint32_t kRingSize = 16;

    EditHistory() = default;
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // Keeps a snapshot of `live` before an edit and drops the redo entries. False when memory
    // runs out: the positions stay where they were and the coming edit cannot be undone. Copies
    // the default draw method into the live tracks either way.
    bool Checkpoint(Project& live);

    bool CanUndo() const { return oldest_ < position_; }
    bool CanRedo() const { return position_ < newest_; }

    // Both report whether the position moved; a restore that then fails still counts as moved.
    // `restored` (when given) says whether the live project was restored completely.
    bool Undo(Project& live, DocumentServices& services, bool* restored = nullptr);
    bool Redo(Project& live, DocumentServices& services, bool* restored = nullptr);

    // Releases every snapshot and sets the counters to 0: new and opened projects.
    void Clear();

    uint32_t Position() const { return position_; }
    uint32_t Oldest() const { return oldest_; }
    uint32_t Newest() const { return newest_; }
    // How many snapshots the ring holds now.
    size_t SnapshotCount() const;
    // The snapshot kept for `position` (null when the ring holds none there).
    const Project* SnapshotAt(uint32_t position) const { return ring_[position % kRingSize].get(); }

  private:
    std::unique_ptr<Project>& Slot(uint32_t position) { return ring_[position % kRingSize]; }

    std::array<std::unique_ptr<Project>, kRingSize> ring_;
    uint32_t position_ = 0;
    uint32_t oldest_ = 0;
    uint32_t newest_ = 0;
};

}  // namespace kelvane

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/Project.h"

// The crash journal of an open project: a sequence of records, each closed by a CRC, appended as
// edits complete. A reader takes every whole record up to the first one that is cut off or
// damaged, so a journal cut anywhere gives back the last edit it holds completely.
//
//   record:  u32 magic "KVJR", u32 kind, u64 payload bytes, payload, u32 CRC-32 of all before it
//   Begin:   u32 units, the project's path in UTF-16 (none: a new project)
//   BaseFile: u64 size, i64 seconds, i64 nanoseconds of the project file the journal starts from
//   State:   i64 time of the edit (ms since 1970), u32 flags, sections, u32 0
//   sections: 1 settings and project folder, 2 one file slot, 3 one track, 4 the templates,
//             5 the extras of the track or templates before it
namespace kelvane::journal {

enum RecordKind : uint32_t { kBegin = 1, kBaseFile = 2, kState = 3 };

enum StateFlags : uint32_t {
    // The record starts from an empty project: a whole image.
    kStateWhole = 1,
    // Every slot not in the record is unused: the file table as a whole.
    kStateAllFiles = 2,
};

// The project file a journal starts from, as it was when opened or saved.
struct BaseFile {
    uint64_t size = 0;
    int64_t seconds = 0;
    int64_t nanoseconds = 0;
    bool operator==(const BaseFile&) const = default;
};

// What has to go into the next State record: everything that differs from the last one.
struct Changes {
    bool settings = false;
    bool templates = false;
    std::vector<uint32_t> files;
    std::vector<uint32_t> tracks;
    bool Empty() const { return !settings && !templates && files.empty() && tracks.empty(); }
};

// The parts of `now` that differ from `before`: tracks by their event array (an edit gives a
// track a new array or unshares it, so an untouched track still holds the array `before` holds),
// file slots by their descriptor, templates and settings by value.
Changes Compare(const Project& before, const Project& now);
// `to` takes the changed parts of `from` (tracks shared, descriptors copied). False when memory
// runs out; `to` is then unusable as a comparison base.
bool TakeChanges(const Project& from, Project& to, const Changes& changes);
// Every part of `project` that a whole image holds.
Changes Everything(const Project& project);

// One record ready to append: small fields gathered here, event arrays referred to where they
// lie (the caller keeps the project alive and unchanged until the record is written).
class RecordBuilder {
  public:
    struct Piece {
        const uint8_t* external;  // null: `size` bytes of the gathered fields from `offset`
        size_t offset;
        size_t size;
    };

    void Begin(std::u16string_view path);
    void Base(const BaseFile& base);
    void State(const Project& project, const Changes& changes, uint32_t flags, int64_t millis);

    // The record's pieces in order, the header and the CRC included.
    const std::vector<Piece>& Pieces();
    const uint8_t* Data(const Piece& piece) const {
        return piece.external ? piece.external : bytes_.data() + piece.offset;
    }
    uint64_t Size() const;

  private:
    void Start(RecordKind kind);
    void Put(const void* data, size_t size);
    void PutExtras(uint32_t owner, std::span<const EventExtras> extras);
    void U32(uint32_t value) { Put(&value, sizeof(value)); }
    void Refer(const void* data, size_t size);
    void Finish();

    std::vector<uint8_t> bytes_;
    std::vector<Piece> pieces_;
    bool finished_ = false;
};

enum class ReadResult {
    Restorable,  // at least one whole edit
    NoEdits,     // a journal that never got past its first edit: nothing to restore
    Unreadable,  // not a journal, or its start is damaged
};

// What a journal gives back.
struct Recovered {
    std::u16string path;  // empty for a new project
    bool hasBaseFile = false;
    BaseFile baseFile;
    int64_t lastEditMillis = 0;
    size_t edits = 0;
    // Bytes of the whole records, from the start: a cut journal is whole up to here.
    uint64_t wholeBytes = 0;
};

// Reads a journal. With a base file, `project` must hold that file as read (descriptors only)
// before the call; otherwise it is emptied. The records are applied to it in order.
ReadResult Read(const uint8_t* bytes, size_t size, Recovered& info, Project* project);

uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace kelvane::journal

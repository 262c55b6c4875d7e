#include "model/JournalFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <span>

#include "model/EventExtrasCodec.h"

namespace kelvane::journal {
namespace {

constexpr uint32_t kMagic = 0x524A564B;  // "KVJR"
constexpr size_t kHeaderBytes = 16;

// Extras (section 5) follow the track or the templates they belong to: u32 track number or
// kTemplateExtras, u32 count, the entries. A track or templates section without one has defaults.
// kPixels follows the kFile section of an entry with pixel flags; records of entries without
// flags are what they always were.
// A track's sound (section 6) follows its track when it is not the default: u32 track number,
// f32 volume, u32 flags (bit 0 muted).
enum Section : uint32_t {
    kEnd = 0,
    kSettings = 1,
    kFile = 2,
    kTrack = 3,
    kTemplates = 4,
    kExtras = 5,
    kPixels = 6,
    kTrackSound = 7,
};
constexpr uint32_t kTemplateExtras = 0xFFFFFFFF;

bool SameDescriptor(const FileEntry& a, const FileEntry& b) {
    return a.kind == b.kind && a.textLength == b.textLength &&
           a.referenceDuration == b.referenceDuration && a.colour == b.colour &&
           std::memcmp(a.path, b.path, sizeof(a.path)) == 0 &&
           std::memcmp(&a.font, &b.font, sizeof(a.font)) == 0 && a.text == b.text &&
           a.pixelFlags == b.pixelFlags;
}

bool SameSettings(const Project& a, const Project& b) {
    const ProjectSettings& x = a.settings;
    const ProjectSettings& y = b.settings;
    return std::memcmp(x.basePath, y.basePath, sizeof(x.basePath)) == 0 && x.width == y.width &&
           x.height == y.height && std::memcmp(&x.frameRate, &y.frameRate, sizeof(double)) == 0 &&
           x.frameDuration == y.frameDuration && x.length == y.length &&
           x.background == y.background && x.defaultDrawMethod == y.defaultDrawMethod &&
           std::memcmp(a.projectFolder, b.projectFolder, sizeof(a.projectFolder)) == 0;
}

// Bounds-checked reading of one record's payload.
class Cursor {
  public:
    Cursor(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
    bool Get(void* out, size_t n) {
        if (size_t(end_ - p_) < n) {
            return false;
        }
        std::memcpy(out, p_, n);
        p_ += n;
        return true;
    }
    bool U32(uint32_t& v) { return Get(&v, sizeof(v)); }
    bool I64(int64_t& v) { return Get(&v, sizeof(v)); }
    size_t Remaining() const { return size_t(end_ - p_); }
    const uint8_t* At() const { return p_; }
    void Skip(size_t n) { p_ += n; }

  private:
    const uint8_t* p_;
    const uint8_t* end_;
};

void Empty(Project& project) {
    for (FileEntry& entry : project.files) {
        entry.Release();
        entry.referenceDuration = 0;
    }
    const Track none;
    for (Track& track : project.tracks) {
        track.ShareFrom(none);
    }
    project.templates = {};
    project.templateExtras = {};
    project.settings = ProjectSettings{};
    std::memset(project.projectFolder, 0, sizeof(project.projectFolder));
}

bool ReadSettings(Cursor& in, Project& project) {
    ProjectSettings& s = project.settings;
    uint32_t method = 0;
    if (!in.Get(s.basePath, sizeof(s.basePath)) || !in.U32(s.width) || !in.U32(s.height) ||
        !in.Get(&s.frameRate, sizeof(double)) || !in.I64(s.frameDuration) || !in.U32(s.length) ||
        !in.U32(s.background) || !in.U32(method) ||
        !in.Get(project.projectFolder, sizeof(project.projectFolder))) {
        return false;
    }
    s.defaultDrawMethod = int32_t(method);
    return true;
}

bool ReadFile(Cursor& in, Project& project) {
    uint32_t id = 0;
    uint32_t kind = 0;
    FileEntry e;
    uint32_t units = 0;
    if (!in.U32(id) || id >= kFileSlots || !in.U32(kind) || kind > uint32_t(FileKind::Project) ||
        !in.I64(e.referenceDuration) || !in.Get(e.path, sizeof(e.path)) || !in.U32(e.colour) ||
        !in.Get(&e.font, sizeof(e.font)) || !in.U32(units) ||
        units > in.Remaining() / sizeof(char16_t)) {
        return false;
    }
    try {
        e.text.assign(reinterpret_cast<const char16_t*>(in.At()), units);
    } catch (const std::exception&) {
        return false;
    }
    in.Skip(size_t(units) * sizeof(char16_t));
    e.kind = FileKind(kind);
    e.textLength = units;
    return project.files[id].CopyDescriptorFrom(e);
}

bool ReadPixels(Cursor& in, Project& project) {
    uint32_t id = 0;
    uint32_t flags = 0;
    if (!in.U32(id) || id >= kFileSlots || !in.U32(flags) ||
        (flags & ~AllowedPixelFlags(project.files[id].kind)) != 0) {
        return false;
    }
    project.files[id].pixelFlags = flags;
    return true;
}

bool ReadTrack(Cursor& in, Project& project) {
    uint32_t number = 0;
    uint32_t count = 0;
    uint32_t hasArray = 0;
    if (!in.U32(number) || number >= kTrackCount || !in.U32(count) || !in.U32(hasArray) ||
        count > in.Remaining() / sizeof(TrackEvent) || (hasArray == 0 && count != 0)) {
        return false;
    }
    Track& track = project.tracks[number];
    track.SetSound(TrackSound{});
    if (hasArray == 0) {
        const Track none;
        track.ShareFrom(none);
        return true;
    }
    if (!track.Reset(count)) {
        return false;
    }
    std::memcpy(track.Events(), in.At(), size_t(count) * sizeof(TrackEvent));
    in.Skip(size_t(count) * sizeof(TrackEvent));
    return true;
}

bool ReadTrackSound(Cursor& in, Project& project) {
    uint32_t number = 0;
    float volume = 1.0f;
    uint32_t flags = 0;
    if (!in.U32(number) || number >= kTrackCount || !in.Get(&volume, sizeof(volume)) ||
        !in.U32(flags)) {
        return false;
    }
    project.tracks[number].SetSound(TrackSound{volume, (flags & 1) != 0});
    return true;
}

bool ReadExtrasSection(Cursor& in, Project& project) {
    uint32_t owner = 0;
    uint32_t count = 0;
    if (!in.U32(owner) || !in.U32(count)) {
        return false;
    }
    std::span<const uint8_t> bytes(in.At(), in.Remaining());
    std::vector<EventExtras> extras;
    if (!ReadExtras(bytes, count, extras)) {
        return false;
    }
    in.Skip(in.Remaining() - bytes.size());
    if (owner == kTemplateExtras) {
        if (count != kTemplateSlots) {
            return false;
        }
        std::copy(extras.begin(), extras.end(), project.templateExtras.begin());
        return true;
    }
    if (owner >= kTrackCount || count != project.tracks[owner].Count()) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!project.tracks[owner].SetExtras(i, extras[i])) {
            return false;
        }
    }
    return true;
}

bool ApplyState(Cursor& in, Project& project, int64_t& millis) {
    uint32_t flags = 0;
    if (!in.I64(millis) || !in.U32(flags)) {
        return false;
    }
    if (flags & kStateWhole) {
        Empty(project);
    } else if (flags & kStateAllFiles) {
        for (FileEntry& entry : project.files) {
            entry.Release();
            entry.referenceDuration = 0;
        }
    }
    for (;;) {
        uint32_t section = 0;
        if (!in.U32(section)) {
            return false;
        }
        bool ok = true;
        switch (section) {
            case kEnd:
                return in.Remaining() == 0;
            case kSettings:
                ok = ReadSettings(in, project);
                break;
            case kFile:
                ok = ReadFile(in, project);
                break;
            case kPixels:
                ok = ReadPixels(in, project);
                break;
            case kTrack:
                ok = ReadTrack(in, project);
                break;
            case kTemplates:
                ok = in.Get(project.templates.data(), sizeof(project.templates));
                project.templateExtras = {};
                break;
            case kExtras:
                ok = ReadExtrasSection(in, project);
                break;
            case kTrackSound:
                ok = ReadTrackSound(in, project);
                break;
            default:
                return false;
        }
        if (!ok) {
            return false;
        }
    }
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    const auto* p = static_cast<const Bytef*>(data);
    while (size > 0) {
        const uInt n = size > (1u << 30) ? (1u << 30) : uInt(size);
        crc = uint32_t(crc32(crc, p, n));
        p += n;
        size -= n;
    }
    return crc;
}

Changes Compare(const Project& before, const Project& now) {
    Changes changes;
    changes.settings = !SameSettings(before, now);
    changes.templates =
        std::memcmp(before.templates.data(), now.templates.data(), sizeof(now.templates)) != 0 ||
        before.templateExtras != now.templateExtras;
    for (uint32_t i = 0; i < kFileSlots; ++i) {
        if (!SameDescriptor(before.files[i], now.files[i])) {
            changes.files.push_back(i);
        }
    }
    for (uint32_t t = 0; t < kTrackCount; ++t) {
        if (!before.tracks[t].SharesEventsWith(now.tracks[t]) ||
            before.tracks[t].Sound() != now.tracks[t].Sound()) {
            changes.tracks.push_back(t);
        }
    }
    return changes;
}

bool TakeChanges(const Project& from, Project& to, const Changes& changes) {
    for (uint32_t i : changes.files) {
        if (!to.files[i].CopyDescriptorFrom(from.files[i])) {
            return false;
        }
    }
    for (uint32_t t : changes.tracks) {
        to.tracks[t].ShareFrom(from.tracks[t]);
    }
    if (changes.templates) {
        to.templates = from.templates;
        to.templateExtras = from.templateExtras;
    }
    if (changes.settings) {
        to.settings = from.settings;
        std::memcpy(to.projectFolder, from.projectFolder, sizeof(to.projectFolder));
    }
    return true;
}

Changes Everything(const Project& project) {
    Changes all;
    all.settings = true;
    all.templates = true;
    for (uint32_t i = 0; i < kFileSlots; ++i) {
        if (project.files[i].Used()) {
            all.files.push_back(i);
        }
    }
    for (uint32_t t = 0; t < kTrackCount; ++t) {
        if (project.tracks[t].HasArray() || !project.tracks[t].Sound().IsDefault()) {
            all.tracks.push_back(t);
        }
    }
    return all;
}

void RecordBuilder::PutExtras(uint32_t owner, std::span<const EventExtras> extras) {
    std::vector<uint8_t> bytes;
    if (!AppendExtras(extras, bytes)) {
        throw std::bad_alloc();
    }
    U32(kExtras);
    U32(owner);
    U32(uint32_t(extras.size()));
    Put(bytes.data(), bytes.size());
}

void RecordBuilder::Put(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (!pieces_.empty() && pieces_.back().external == nullptr) {
        pieces_.back().size += size;
    } else {
        pieces_.push_back(Piece{nullptr, bytes_.size(), size});
    }
    bytes_.insert(bytes_.end(), p, p + size);
}

void RecordBuilder::Refer(const void* data, size_t size) {
    if (size > 0) {
        pieces_.push_back(Piece{static_cast<const uint8_t*>(data), 0, size});
    }
}

void RecordBuilder::Start(RecordKind kind) {
    bytes_.clear();
    pieces_.clear();
    finished_ = false;
    U32(kMagic);
    U32(kind);
    const uint64_t size = 0;  // filled in by Finish
    Put(&size, sizeof(size));
}

void RecordBuilder::Begin(std::u16string_view path) {
    Start(kBegin);
    U32(uint32_t(path.size()));
    Put(path.data(), path.size() * sizeof(char16_t));
}

void RecordBuilder::Base(const BaseFile& base) {
    Start(kBaseFile);
    Put(&base.size, sizeof(base.size));
    Put(&base.seconds, sizeof(base.seconds));
    Put(&base.nanoseconds, sizeof(base.nanoseconds));
}

void RecordBuilder::State(const Project& project, const Changes& changes, uint32_t flags,
                          int64_t millis) {
    Start(kState);
    Put(&millis, sizeof(millis));
    U32(flags);
    if (changes.settings) {
        const ProjectSettings& s = project.settings;
        U32(kSettings);
        Put(s.basePath, sizeof(s.basePath));
        U32(s.width);
        U32(s.height);
        Put(&s.frameRate, sizeof(double));
        Put(&s.frameDuration, sizeof(s.frameDuration));
        U32(s.length);
        U32(s.background);
        U32(uint32_t(s.defaultDrawMethod));
        Put(project.projectFolder, sizeof(project.projectFolder));
    }
    for (uint32_t id : changes.files) {
        const FileEntry& e = project.files[id];
        U32(kFile);
        U32(id);
        U32(uint32_t(e.kind));
        Put(&e.referenceDuration, sizeof(e.referenceDuration));
        Put(e.path, sizeof(e.path));
        U32(e.colour);
        Put(&e.font, sizeof(e.font));
        U32(uint32_t(e.text.size()));
        Put(e.text.data(), e.text.size() * sizeof(char16_t));
        if (e.pixelFlags != 0) {
            U32(kPixels);
            U32(id);
            U32(e.pixelFlags);
        }
    }
    for (uint32_t t : changes.tracks) {
        const Track& track = project.tracks[t];
        U32(kTrack);
        U32(t);
        U32(track.Count());
        U32(track.HasArray() ? 1 : 0);
        Refer(track.Events(), size_t(track.Count()) * sizeof(TrackEvent));
        if (track.HasExtras()) {
            std::vector<EventExtras> extras(track.Count());
            for (uint32_t i = 0; i < track.Count(); ++i) {
                extras[i] = track.ExtrasAt(i);
            }
            PutExtras(t, extras);
        }
        if (!track.Sound().IsDefault()) {
            U32(kTrackSound);
            U32(t);
            Put(&track.Sound().volume, sizeof(float));
            U32(track.Sound().muted ? 1 : 0);
        }
    }
    if (changes.templates) {
        U32(kTemplates);
        Put(project.templates.data(), sizeof(project.templates));
        if (AnyExtras(project.templateExtras)) {
            PutExtras(kTemplateExtras, project.templateExtras);
        }
    }
    U32(kEnd);
}

uint64_t RecordBuilder::Size() const {
    uint64_t total = 0;
    for (const Piece& piece : pieces_) {
        total += piece.size;
    }
    return total;
}

void RecordBuilder::Finish() {
    if (finished_) {
        return;
    }
    const uint64_t payload = Size() - kHeaderBytes;
    std::memcpy(bytes_.data() + 8, &payload, sizeof(payload));
    uint32_t crc = Crc32(0, nullptr, 0);
    for (const Piece& piece : pieces_) {
        crc = Crc32(crc, Data(piece), piece.size);
    }
    U32(crc);
    finished_ = true;
}

const std::vector<RecordBuilder::Piece>& RecordBuilder::Pieces() {
    Finish();
    return pieces_;
}

ReadResult Read(const uint8_t* bytes, size_t size, Recovered& info, Project* project) {
    info = Recovered{};
    size_t at = 0;
    bool begun = false;
    bool based = false;  // a base file, or a whole image, stands under the edits
    while (size - at >= kHeaderBytes + 4) {
        uint32_t magic = 0;
        uint32_t kind = 0;
        uint64_t payload = 0;
        std::memcpy(&magic, bytes + at, 4);
        std::memcpy(&kind, bytes + at + 4, 4);
        std::memcpy(&payload, bytes + at + 8, 8);
        if (magic != kMagic || payload > size - at - kHeaderBytes - 4) {
            break;
        }
        const size_t body = size_t(payload);
        uint32_t crc = 0;
        std::memcpy(&crc, bytes + at + kHeaderBytes + body, 4);
        if (Crc32(Crc32(0, nullptr, 0), bytes + at, kHeaderBytes + body) != crc) {
            break;
        }
        Cursor in(bytes + at + kHeaderBytes, body);
        if (!begun) {
            uint32_t units = 0;
            if (kind != kBegin || !in.U32(units) || units > in.Remaining() / 2) {
                return ReadResult::Unreadable;
            }
            info.path.assign(reinterpret_cast<const char16_t*>(in.At()), units);
            begun = true;
        } else if (kind == kBaseFile && !based && info.edits == 0) {
            BaseFile& b = info.baseFile;
            if (!in.Get(&b.size, 8) || !in.I64(b.seconds) || !in.I64(b.nanoseconds)) {
                return ReadResult::Unreadable;
            }
            info.hasBaseFile = true;
            based = true;
        } else if (kind == kState) {
            // The first edit stands on a base file or is a whole image itself.
            uint32_t flags = 0;
            if (body >= 12) {
                std::memcpy(&flags, bytes + at + kHeaderBytes + 8, 4);
            }
            if (!based && (flags & kStateWhole) == 0) {
                return ReadResult::Unreadable;
            }
            int64_t millis = 0;
            if (project) {
                if (!ApplyState(in, *project, millis)) {
                    // The CRC held, so this is no cut but a record we cannot apply.
                    return ReadResult::Unreadable;
                }
            } else if (!in.I64(millis)) {
                return ReadResult::Unreadable;
            }
            based = true;
            info.lastEditMillis = millis;
            ++info.edits;
        } else {
            return ReadResult::Unreadable;
        }
        at += kHeaderBytes + body + 4;
        info.wholeBytes = at;
    }
    if (!begun) {
        // Cut before its first record was whole: a journal of ours that recorded nothing yet.
        uint32_t magic = kMagic;
        if (size > 0) {
            std::memcpy(&magic, bytes, size < 4 ? size : 4);
        }
        return magic == kMagic ? ReadResult::NoEdits : ReadResult::Unreadable;
    }
    return info.edits > 0 ? ReadResult::Restorable : ReadResult::NoEdits;
}

}  // namespace kelvane::journal

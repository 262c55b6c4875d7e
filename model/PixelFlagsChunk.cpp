#include "model/PixelFlagsChunk.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "model/ProjectFileFormat.h"

namespace kelvane::pixel_flags_chunk {
namespace {

constexpr uint8_t kName[4] = {'K', 'P', 'I', 'X'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeadBytes = 12;  // name, version, count
constexpr size_t kRecordBytes = 8;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    out.insert(out.end(), bytes, bytes + 4);
}

size_t FlaggedEntries(const Project& project) {
    size_t n = 0;
    for (const FileEntry& entry : project.files) {
        n += entry.Used() && entry.pixelFlags != 0;
    }
    return n;
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", v);
    return text;
}

}  // namespace

uint64_t ChunkBytes(const Project& project) {
    const size_t n = FlaggedEntries(project);
    return n == 0 ? 0 : 8 + kHeadBytes + kRecordBytes * uint64_t(n);
}

void Append(const Project& project, std::vector<uint8_t>& out) {
    const size_t n = FlaggedEntries(project);
    if (n == 0) {
        return;
    }
    PutLe32(out, project_file::kTagSkip);
    PutLe32(out, uint32_t(kHeadBytes + kRecordBytes * n));
    out.insert(out.end(), kName, kName + 4);
    PutLe32(out, kVersion);
    PutLe32(out, uint32_t(n));
    for (size_t id = 0; id < project.files.size(); ++id) {
        const FileEntry& entry = project.files[id];
        if (entry.Used() && entry.pixelFlags != 0) {
            PutLe32(out, uint32_t(id));
            PutLe32(out, entry.pixelFlags);
        }
    }
}

void Collector::SawFile(uint32_t id, FileKind kind) {
    if (id < kFileSlots) {
        kinds_[id] = kind;
    }
}

bool Collector::Take(const uint8_t* body, size_t size, std::string* reason) {
    if (size < 4 || std::memcmp(body, kName, 4) != 0) {
        return true;
    }
    if (size < kHeadBytes) {
        *reason = "KPIX チャンクが短すぎます。";
        return false;
    }
    const uint32_t version = Le32(body + 4);
    const uint32_t count = Le32(body + 8);
    if (version != kVersion) {
        *reason =
            "KPIX チャンクのバージョン " + std::to_string(version) + " には対応していません。";
        return false;
    }
    if (count > (size - kHeadBytes) / kRecordBytes) {
        *reason = "KPIX チャンクが記録の数 (" + std::to_string(count) + ") より短くなっています。";
        return false;
    }
    try {
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* r = body + kHeadBytes + size_t(i) * kRecordBytes;
            records_.push_back({Le32(r), Le32(r + 4)});
        }
    } catch (const std::exception&) {
        *reason = "KPIX チャンクを読むためのメモリが足りません。";
        return false;
    }
    return true;
}

bool Collector::Apply(Project& project, std::string* reason) const {
    for (const Record& r : records_) {
        if (r.id >= kFileSlots || kinds_[r.id] == FileKind::None) {
            *reason = "KPIX チャンクのファイル ID " + std::to_string(r.id) +
                      " は範囲外か、使われていないスロットです。";
            return false;
        }
        if ((r.flags & ~AllowedPixelFlags(kinds_[r.id])) != 0) {
            *reason = "KPIX チャンクのファイル ID " + std::to_string(r.id) + " のフラグ " +
                      Hex(r.flags) + " は、その種類のファイルには使えません。";
            return false;
        }
    }
    for (const Record& r : records_) {
        FileEntry& entry = project.files[r.id];
        if (entry.Used() && entry.kind == kinds_[r.id]) {
            entry.pixelFlags = r.flags;
        }
    }
    return true;
}

}  // namespace kelvane::pixel_flags_chunk

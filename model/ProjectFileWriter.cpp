#include <cstring>
#include <exception>
#include <string>

#include "model/AudioChunk.h"
#include "model/EffectParamChunk.h"
#include "model/PixelFlagsChunk.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ProjectFileFormat.h"
#include "platform/FailureNote.h"
#include "platform/File.h"
#include "platform/Path.h"

namespace kelvane::ProjectFile {
namespace {

using namespace project_file;

// Appends little-endian fields to a buffer whose final size is reserved up front, so that the
// appends never reallocate.
class ByteSink {
  public:
    explicit ByteSink(std::vector<uint8_t>& out) : out_(out) {}

    void Bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }
    void U32(uint32_t value) { Bytes(&value, sizeof(value)); }
    void I64(int64_t value) { Bytes(&value, sizeof(value)); }
    void F64(double value) { Bytes(&value, sizeof(value)); }
    // A path is stored as its whole 260-unit block, zero after the terminator, so that whatever a
    // buffer held beyond its text never reaches the file.
    void Path(const PathBuffer& path) {
        PathBuffer block{};
        std::memcpy(block, path, BoundedLength(path, kPathUnits) * sizeof(char16_t));
        Bytes(block, sizeof(block));
    }

  private:
    std::vector<uint8_t>& out_;
};

bool Terminated(const PathBuffer& path) {
    return BoundedLength(path, kPathUnits) < kPathUnits;
}

// Bytes of one file chunk after its tag, or 0 for an entry that cannot be stored.
uint64_t FileChunkBytes(const FileEntry& entry) {
    const uint64_t head = 8;  // ID and kind
    switch (entry.kind) {
        case FileKind::Movie:
            return Terminated(entry.path) ? head + 8 + kPathBytes + 4 : 0;
        case FileKind::Image:
        case FileKind::Project:
            return Terminated(entry.path) ? head + kPathBytes + 4 : 0;
        case FileKind::Effect:
            return Terminated(entry.path) ? head + kPathBytes : 0;
        case FileKind::Text: {
            const uint64_t block = TextBlockBytes(entry.text.size());
            return block <= UINT32_MAX ? head + 4 + kFontBytes + 4 + block : 0;
        }
        default:
            return 0;
    }
}

void WriteFileChunk(ByteSink& sink, uint32_t id, const FileEntry& entry) {
    sink.U32(kTagFile);
    sink.U32(id);
    sink.U32(uint32_t(entry.kind));
    switch (entry.kind) {
        case FileKind::Movie:
            sink.I64(entry.referenceDuration);
            sink.Path(entry.path);
            sink.U32(entry.colour);
            break;
        case FileKind::Image:
        case FileKind::Project:
            sink.Path(entry.path);
            sink.U32(entry.colour);
            break;
        case FileKind::Effect:
            sink.Path(entry.path);
            break;
        case FileKind::Text: {
            sink.U32(entry.colour);
            sink.Bytes(&entry.font, kFontBytes);
            const uint64_t block = TextBlockBytes(entry.text.size());
            sink.U32(uint32_t(block));
            sink.Bytes(entry.text.data(), entry.text.size() * sizeof(char16_t));
            const uint8_t zeros[4] = {};
            sink.Bytes(zeros, size_t(block - entry.text.size() * sizeof(char16_t)));
            break;
        }
        default:
            break;
    }
}

}  // namespace

bool WriteToMemory(const Project& project, std::vector<uint8_t>& out) {
    const ProjectSettings& settings = project.settings;
    if (!Terminated(settings.basePath)) {
        return false;
    }
    // Every size first: an entry that cannot be stored fails the save before anything is built.
    uint64_t total = 4 + 8 + (4 + kPathBytes + 4 * 2 + 8 + 4 * 3) + 4;
    for (const FileEntry& entry : project.files) {
        if (entry.Used()) {
            const uint64_t bytes = FileChunkBytes(entry);
            if (bytes == 0) {
                return false;
            }
            total += 4 + bytes;
        }
    }
    for (const Track& track : project.tracks) {
        total += track.EventSpan().empty() ? 0 : 4 + 8 + uint64_t(track.Count()) * kRecordBytes;
    }
    for (const EventTemplate& slot : project.templates) {
        total += TemplateInUse(slot) ? 4 + 4 + kRecordBytes : 0;
    }
    total += pixel_flags_chunk::ChunkBytes(project);
    const std::vector<uint8_t> sound = audio_chunk::Body(project);
    total += sound.empty() ? 0 : 8 + sound.size();
    if (total > SIZE_MAX) {
        return false;
    }

    std::vector<uint8_t> bytes;
    try {
        bytes.reserve(size_t(total));
    } catch (const std::exception&) {
        return false;
    }
    ByteSink sink(bytes);
    sink.Bytes(kMagic, sizeof(kMagic));
    sink.U32(kTagVersion);
    sink.U32(kVersion20);
    sink.U32(kTagSettings);
    sink.Path(settings.basePath);
    sink.U32(settings.width);
    sink.U32(settings.height);
    sink.F64(settings.frameRate);
    sink.U32(settings.length);
    sink.U32(settings.background);
    sink.U32(uint32_t(settings.defaultDrawMethod));
    for (size_t id = 0; id < project.files.size(); ++id) {
        if (project.files[id].Used()) {
            WriteFileChunk(sink, uint32_t(id), project.files[id]);
        }
    }
    for (size_t number = 0; number < project.tracks.size(); ++number) {
        const std::span<const TrackEvent> events = project.tracks[number].EventSpan();
        if (!events.empty()) {
            sink.U32(kTagTrack);
            sink.U32(uint32_t(number));
            sink.U32(uint32_t(events.size()));
            sink.Bytes(events.data(), events.size_bytes());  // the records as they lie in memory
        }
    }
    for (size_t index = 0; index < project.templates.size(); ++index) {
        if (TemplateInUse(project.templates[index])) {
            sink.U32(kTagTemplate);
            sink.U32(uint32_t(index));
            sink.Bytes(&project.templates[index], kRecordBytes);
        }
    }
    pixel_flags_chunk::Append(project, bytes);
    if (!effect_param_chunk::Append(project, bytes)) {
        return false;
    }
    if (!sound.empty()) {
        sink.U32(kTagSkip);
        sink.U32(uint32_t(sound.size()));
        sink.Bytes(sound.data(), sound.size());
    }
    sink.U32(kTagEnd);
    out = std::move(bytes);
    return true;
}

bool Write(std::u16string_view path, Project& project) {
    // The folder must fit before anything is written, so that success always leaves the project
    // knowing where it lies.
    PathBuffer folder{};
    if (!CopyPath(folder, FolderOf(path))) {
        NoteFailure(path, "フォルダーのパスが長すぎます。");
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!WriteToMemory(project, bytes)) {
        NoteFailure(path,
                    "プロジェクトをファイルの形にできません（メモリ不足か、保存できない項目）。");
        return false;
    }
    if (!WriteWholeFile(path, bytes.data(), bytes.size())) {
        return false;  // the file layer has noted why
    }
    std::memcpy(project.projectFolder, folder, sizeof(folder));
    return true;
}

}  // namespace kelvane::ProjectFile

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "model/AudioChunk.h"
#include "model/EffectParamChunk.h"
#include "model/EntryLocator.h"
#include "model/PixelFlagsChunk.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ProjectFileFormat.h"
#include "model/SourceLoader.h"
#include "platform/FailureNote.h"
#include "platform/File.h"
#include "platform/MissingFilePrompt.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane::ProjectFile {
namespace {

using namespace project_file;

// Nested projects are read recursively through the media layer. A file that is already being read
// further up the chain would recurse without end, and a very long chain of distinct files would
// exhaust the stack; both make the nested read fail.
constexpr size_t kMaxNesting = 64;
thread_local std::vector<std::string> readChain;

class ChainEntry {
  public:
    explicit ChainEntry(std::string key) : entered_(false) {
        if (readChain.size() >= kMaxNesting ||
            std::find(readChain.begin(), readChain.end(), key) != readChain.end()) {
            return;
        }
        readChain.push_back(std::move(key));
        entered_ = true;
    }
    ~ChainEntry() {
        if (entered_) {
            readChain.pop_back();
        }
    }
    ChainEntry(const ChainEntry&) = delete;
    ChainEntry& operator=(const ChainEntry&) = delete;
    bool Entered() const { return entered_; }

  private:
    bool entered_;
};

// Slots of one project may all name the same nested project, whose slots may all name another:
// each path through the tree is a full copy in memory, so a few small files can ask for millions
// of loads. One read of a project, with everything nested in it, loads at most this many nested
// projects; past it the whole read fails at once, with one message and no further questions.
constexpr size_t kMaxNestedLoads = 128;
thread_local size_t nestedLoads = 0;
thread_local bool nestedBudgetExceeded = false;

std::string NestedBudgetMessage() {
    return "入れ子になったプロジェクトの読み込みが多すぎます（一度の読み込みで " +
           std::to_string(kMaxNestedLoads) + " 個まで）。";
}

// Counts a nested read; false once the budget is spent.
bool TakeNestedLoad() {
    if (nestedBudgetExceeded || ++nestedLoads > kMaxNestedLoads) {
        nestedBudgetExceeded = true;
        return false;
    }
    return true;
}

// The same file under any spelling of its path.
std::string ChainKey(std::u16string_view path) {
    const std::string native = ToNativePath(path);
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(native, error);
    return error ? native : canonical.string();
}

// Little-endian fields out of the file's bytes; every read checks what is left, so a file cut
// short anywhere fails at the field it cannot complete.
class ByteSource {
  public:
    ByteSource(const uint8_t* bytes, size_t size) : begin_(bytes), at_(bytes), end_(bytes + size) {}

    size_t Remaining() const { return size_t(end_ - at_); }
    const uint8_t* At() const { return at_; }
    size_t Offset() const { return size_t(at_ - begin_); }
    size_t Size() const { return size_t(end_ - begin_); }
    // A field could not be completed: the file ends too early.
    bool RanShort() const { return ranShort_; }

    bool Bytes(void* out, size_t size) {
        if (size > Remaining()) {
            ranShort_ = true;
            return false;
        }
        if (size != 0) {
            std::memcpy(out, at_, size);
        }
        at_ += size;
        return true;
    }
    bool Skip(uint64_t size) {
        if (size > Remaining()) {
            return false;
        }
        at_ += size;
        return true;
    }
    bool U32(uint32_t& value) { return Bytes(&value, sizeof(value)); }
    bool I64(int64_t& value) { return Bytes(&value, sizeof(value)); }
    bool F64(double& value) { return Bytes(&value, sizeof(value)); }

    // A 260-unit path block. It must hold its terminator; the units after it are cleared so that
    // nothing but the path itself survives into the model.
    bool Path(PathBuffer& path) {
        if (!Bytes(path, kPathBytes)) {
            return false;
        }
        const size_t length = BoundedLength(path, kPathUnits);
        if (length == kPathUnits) {
            return false;
        }
        std::fill(path + length, path + kPathUnits, u'\0');
        return true;
    }

  private:
    const uint8_t* begin_;
    const uint8_t* at_;
    const uint8_t* end_;
    bool ranShort_ = false;
};

// The fields of one file chunk, complete before anything is loaded, so that a chunk cut short
// fails the read without first asking the user about its file.
struct FileChunk {
    uint32_t id = 0;
    FileKind kind = FileKind::None;
    RefTime referenceDuration = 0;
    PathBuffer path{};
    uint32_t colour = 0;
    LogFont font{};
    std::u16string text;
};

std::string LoadQuestion(std::u16string_view path) {
    return "ファイル\"" + ToUtf8(path) +
           "\"の読み込みに失敗しました。続行しますか？\n続行すると、このファイルの設定は破棄されま"
           "す。";
}

std::string TextQuestion(std::u16string_view text) {
    return "テキスト\"" + ToUtf8(text) +
           "\"の作成に失敗しました。続行しますか？\n続行すると、このファイルの設定は破棄されます。";
}

class Reader {
  public:
    Reader(ByteSource source, Project& project, SourceLoader& loader, UserPrompt& prompt,
           std::string path)
        : in_(source),
          project_(project),
          loader_(loader),
          prompt_(prompt),
          path_(std::move(path)) {}

    // Reads the file; a failure leaves the reason in the thread's failure note.
    bool Run() {
        if (Parse()) {
            return true;
        }
        if (declined_) {
            return false;  // the note of the file the user would not go on without stays
        }
        if (!reason_.empty()) {
            NoteFailure(path_, reason_);
        } else if (in_.RanShort()) {
            NoteFailure(path_,
                        "ファイルが " + std::to_string(in_.Size()) + " バイト目で途切れています。");
        } else {
            NoteFailure(path_, std::to_string(chunkStart_) +
                                   " バイト目のチャンクの内容が正しくありません。");
        }
        return false;
    }

  private:
    bool Fail(std::string reason) {
        reason_ = std::move(reason);
        return false;
    }
    bool PastTheEnd() {
        return Fail(std::to_string(chunkStart_) +
                    " バイト目のチャンクがファイルの終わりを越えています。");
    }

    bool Parse() {
        uint8_t magic[4];
        if (!in_.Bytes(magic, sizeof(magic)) || std::memcmp(magic, kMagic, sizeof(magic)) != 0) {
            return Fail("プロジェクトファイルではありません。");
        }
        project_.ApplyDefaults();
        for (;;) {
            chunkStart_ = in_.Offset();
            uint32_t tag;
            if (!in_.U32(tag)) {
                return false;  // no end chunk
            }
            switch (tag) {
                case kTagSkip: {
                    uint32_t size;
                    if (!in_.U32(size)) {
                        return false;
                    }
                    const uint8_t* body = in_.At();
                    if (audio_chunk::Names(body, std::min<size_t>(size, in_.Remaining()))) {
                        soundChunks_.emplace_back(body, size);
                    }
                    if (!in_.Skip(size)) {
                        return PastTheEnd();
                    }
                    if (!pixelFlags_.Take(body, size, &reason_)) {
                        return false;
                    }
                    // Extension chunks name the events they belong to: applied once all are read.
                    if (effect_param_chunk::IsOurs(body, size)) {
                        effectParamChunks_.push_back({body, size});
                    }
                    break;
                }
                case kTagVersion:
                    if (!ReadVersion()) {
                        return false;
                    }
                    break;
                case kTagEnd:
                    // Without a version nothing said how the chunks were laid out.
                    if (!haveVersion_) {
                        return false;
                    }
                    for (const auto& [body, size] : effectParamChunks_) {
                        std::string reason;
                        if (!effect_param_chunk::Apply(body, size, project_, reason)) {
                            return Fail(reason);
                        }
                    }
                    for (const auto& [body, size] : soundChunks_) {
                        std::string reason;
                        if (!audio_chunk::Apply(project_, body, size, reason)) {
                            return Fail(reason);
                        }
                    }
                    project_.CopyDefaultMethodToTracks();
                    return pixelFlags_.Apply(project_, &reason_);
                case kTagSettings:
                case kTagFile:
                case kTagTrack:
                case kTagTemplate:
                    if (!haveVersion_ || !ReadContent(tag)) {
                        return false;
                    }
                    contentSeen_ = true;
                    break;
                default:
                    return Fail(std::to_string(chunkStart_) + " バイト目に不明なチャンク (タグ " +
                                std::to_string(tag) + ") があります。");
            }
        }
    }

    // The version read last governs the chunks after it; one that would change the layout of
    // chunks already read makes the file ambiguous.
    bool ReadVersion() {
        uint32_t version;
        if (!in_.U32(version)) {
            return false;
        }
        if (version > kVersion20) {
            return Fail("対応していないバージョン " + std::to_string(version >> 16) + "." +
                        std::to_string(version & 0xFFFF) + " です。");
        }
        if (contentSeen_) {
            return false;
        }
        version_ = version;
        haveVersion_ = true;
        return true;
    }

    bool ReadContent(uint32_t tag) {
        switch (tag) {
            case kTagSettings:
                return ReadSettings();
            case kTagFile:
                return ReadFileChunk();
            case kTagTrack:
                return ReadTrack();
            default:
                return ReadTemplate();
        }
    }

    bool ReadSettings() {
        ProjectSettings s = project_.settings;
        if (!in_.Path(s.basePath) || !in_.U32(s.width) || !in_.U32(s.height) ||
            !in_.F64(s.frameRate) || !in_.U32(s.length) || !in_.U32(s.background)) {
            return false;
        }
        if (version_ > kVersion10) {
            uint32_t method;
            if (!in_.U32(method)) {
                return false;
            }
            s.defaultDrawMethod = int32_t(method);
        } else {
            s.defaultDrawMethod = int32_t(DrawMethod::StandardInitial);
        }
        // Frames are numbered by their duration, and every image is allocated at the output size;
        // values no dialog produces would break both.
        if (s.width == 0 || s.width > kMaxFrameSide || s.height == 0 || s.height > kMaxFrameSide ||
            !std::isfinite(s.frameRate) || s.frameRate <= 0) {
            return false;
        }
        s.frameDuration = TruncatedFrameDuration(s.frameRate);
        if (s.frameDuration <= 0) {
            return false;
        }
        project_.settings = s;
        return true;
    }

    bool ReadFileChunk() {
        FileChunk chunk;
        uint32_t kind;
        if (!in_.U32(chunk.id) || !in_.U32(kind) || chunk.id >= kFileSlots || kind < 1 ||
            kind > 5) {
            return false;
        }
        chunk.kind = FileKind(kind);
        pixelFlags_.SawFile(chunk.id, chunk.kind);
        switch (chunk.kind) {
            case FileKind::Movie:
                if (!in_.I64(chunk.referenceDuration) || !in_.Path(chunk.path) ||
                    !in_.U32(chunk.colour)) {
                    return false;
                }
                break;
            case FileKind::Image:
            case FileKind::Project:
                if (!in_.Path(chunk.path) || !in_.U32(chunk.colour)) {
                    return false;
                }
                break;
            case FileKind::Effect:
                if (!in_.Path(chunk.path)) {
                    return false;
                }
                break;
            default:
                if (!ReadText(chunk)) {
                    return false;
                }
                break;
        }
        return Load(chunk);
    }

    bool ReadText(FileChunk& chunk) {
        uint32_t blockBytes;
        if (!in_.U32(chunk.colour) || !in_.Bytes(&chunk.font, kFontBytes) || !in_.U32(blockBytes)) {
            return false;
        }
        // The block must be whole code units and hold the terminator; checked against what the
        // file holds before anything is allocated for it.
        if (blockBytes > in_.Remaining()) {
            return PastTheEnd();
        }
        if (blockBytes % 2 != 0) {
            return false;
        }
        const uint8_t* block = in_.At();
        const size_t units = blockBytes / 2;
        size_t length = 0;
        while (length < units && (block[2 * length] | block[2 * length + 1]) != 0) {
            ++length;
        }
        if (length == units) {
            return false;
        }
        try {
            chunk.text.resize(length);
        } catch (const std::exception&) {
            return false;
        }
        std::memcpy(chunk.text.data(), block, length * sizeof(char16_t));
        return in_.Skip(blockBytes);
    }

    // A later chunk for the same ID replaces the earlier one, whether or not its own file loads.
    bool Load(const FileChunk& chunk) {
        FileEntry& entry = project_.files[chunk.id];
        entry.Release();
        entry.referenceDuration = 0;
        if (chunk.kind == FileKind::Text) {
            if (loader_.MakeText(project_, entry, chunk.text, chunk.colour ^ 0x808080,
                                 chunk.font)) {
                return true;
            }
            entry.Release();
            return GoOnWithout(TextQuestion(chunk.text));
        }
        entry.kind = chunk.kind;
        entry.referenceDuration = chunk.referenceDuration;
        std::memcpy(entry.path, chunk.path, sizeof(entry.path));
        if (loader_.OpenEntry(project_, entry)) {
            if (chunk.kind != FileKind::Effect) {
                entry.colour = chunk.colour;
            }
            return true;
        }
        entry.Release();
        entry.referenceDuration = 0;
        if (nestedBudgetExceeded) {
            declined_ = true;  // the read as a whole fails; the question would only come again
            return false;
        }
        return AskAboutMissing(chunk, entry);
    }

    // Discard, stop, or the place the file is now; a place whose file does not load either is
    // said so, and the question comes again.
    bool AskAboutMissing(const FileChunk& chunk, FileEntry& entry) {
        std::string question = LoadQuestion(PathView(chunk.path));
        for (;;) {
            const MissingFileAnswer answer =
                AskAboutMissingFile(prompt_, question, PathView(chunk.path));
            if (answer.kind == MissingFileAnswer::Kind::Discard) {
                ClearFailureNote();
                return true;
            }
            if (answer.kind == MissingFileAnswer::Kind::Stop) {
                declined_ = true;
                return false;
            }
            entry.kind = chunk.kind;
            entry.referenceDuration = chunk.referenceDuration;
            std::memcpy(entry.path, chunk.path, sizeof(entry.path));
            auto* locator = dynamic_cast<EntryLocator*>(&loader_);
            if (locator != nullptr && locator->OpenLocated(project_, entry, answer.path)) {
                if (chunk.kind != FileKind::Effect) {
                    entry.colour = chunk.colour;
                }
                ClearFailureNote();
                return true;
            }
            entry.Release();
            entry.referenceDuration = 0;
            question = "ファイル\"" + ToUtf8(answer.path) + "\"も読み込めませんでした。\n" +
                       LoadQuestion(PathView(chunk.path));
        }
    }

    // Asks whether to go on without an entry that failed. Yes: what went wrong with it is dealt
    // with; No: it is why the whole read fails, and its note stays.
    bool GoOnWithout(const std::string& question) {
        if (prompt_.AskYesNo(question)) {
            ClearFailureNote();
            return true;
        }
        declined_ = true;
        return false;
    }

    // Version 1.x records keep the geometry four bytes earlier (there is no blend mode), and 1.0
    // records have no draw method either.
    bool ReadRecord(TrackEvent& event) {
        if (in_.Remaining() < kRecordBytes) {
            return false;
        }
        const uint8_t* r = in_.At();
        if (version_ > kVersion11) {
            std::memcpy(&event, r, kRecordBytes);
        } else {
            event = TrackEvent{};
            std::memcpy(&event, r, offsetof(TrackEvent, blendMode));
            std::memcpy(event.matrix, r + 52, sizeof(event.matrix));
            std::memcpy(event.inverse, r + 88, sizeof(event.inverse));
            std::memcpy(&event.referenceX, r + 124, 6 * sizeof(float));
            event.blendMode = int32_t(BlendMode::Normal);
            if (version_ <= kVersion10) {
                event.drawMethod = int32_t(DrawMethod::Default);
            }
        }
        return in_.Skip(kRecordBytes);
    }

    bool ReadTrack() {
        uint32_t number;
        uint32_t count;
        if (!in_.U32(number) || !in_.U32(count) || number >= kTrackCount) {
            return false;
        }
        // Every record is 152 bytes in every version, so the file must hold them all before the
        // array is allocated.
        if (count > in_.Remaining() / kRecordBytes) {
            return PastTheEnd();
        }
        Track& track = project_.tracks[number];
        if (!track.Reset(count)) {
            return false;
        }
        if (version_ > kVersion11) {
            std::memcpy(track.Events(), in_.At(), size_t(count) * kRecordBytes);
            in_.Skip(size_t(count) * kRecordBytes);
        } else {
            for (TrackEvent& event : track.EventSpan()) {
                ReadRecord(event);
            }
        }
        // The renderer walks each track forward from event to event and relies on the order; a
        // file that broke it is put back in order rather than drawn wrongly.
        const std::span<const TrackEvent> events = track.EventSpan();
        const bool sorted = std::is_sorted(
            events.begin(), events.end(),
            [](const TrackEvent& a, const TrackEvent& b) { return a.start < b.start; });
        return sorted || track.Sort();
    }

    bool ReadTemplate() {
        uint32_t index;
        TrackEvent event;
        if (!in_.U32(index) || index >= kTemplateSlots || !ReadRecord(event)) {
            return false;
        }
        StoreTemplate(project_.templates[index], event);
        return true;
    }

    ByteSource in_;
    Project& project_;
    SourceLoader& loader_;
    UserPrompt& prompt_;
    std::string path_;  // native, for the failure note
    size_t chunkStart_ = 0;
    std::string reason_;
    bool declined_ = false;
    uint32_t version_ = 0;
    bool haveVersion_ = false;
    bool contentSeen_ = false;
    pixel_flags_chunk::Collector pixelFlags_;
    std::vector<std::pair<const uint8_t*, size_t>> effectParamChunks_;
    // The bodies of the sound chunks, applied once every track and template is read.
    std::vector<std::pair<const uint8_t*, size_t>> soundChunks_;
};

}  // namespace

namespace {

// The outermost read starts a fresh budget and reports when it was spent.
class NestedBudget {
  public:
    explicit NestedBudget(UserPrompt& prompt) : outermost_(readChain.empty()), prompt_(prompt) {
        if (outermost_) {
            nestedLoads = 0;
            nestedBudgetExceeded = false;
        }
    }
    ~NestedBudget() {
        if (outermost_ && nestedBudgetExceeded) {
            prompt_.ShowError(NestedBudgetMessage());
            nestedBudgetExceeded = false;
        }
    }
    NestedBudget(const NestedBudget&) = delete;
    NestedBudget& operator=(const NestedBudget&) = delete;
    bool Outermost() const { return outermost_; }

  private:
    bool outermost_;
    UserPrompt& prompt_;
};

}  // namespace

namespace {

bool ReadBytes(const uint8_t* bytes, size_t size, std::u16string_view folder, Project& target,
               SourceLoader& loader, UserPrompt& prompt, std::string path) {
    // Relative paths inside the file are resolved against this folder; one that does not fit
    // would send them elsewhere.
    std::memset(target.projectFolder, 0, sizeof(target.projectFolder));
    if (!CopyPath(target.projectFolder, folder)) {
        NoteFailure(path, "フォルダーのパスが長すぎます。");
        return false;
    }
    return Reader(ByteSource(bytes, size), target, loader, prompt, std::move(path)).Run();
}

}  // namespace

bool ReadFromMemory(const uint8_t* bytes, size_t size, std::u16string_view folder, Project& target,
                    SourceLoader& loader, UserPrompt& prompt) {
    NestedBudget budget(prompt);
    return ReadBytes(bytes, size, folder, target, loader, prompt, std::string());
}

bool Read(std::u16string_view path, Project& target, SourceLoader& loader, UserPrompt& prompt) {
    NestedBudget budget(prompt);
    if (!budget.Outermost() && !TakeNestedLoad()) {
        return false;
    }
    ChainEntry chain(ChainKey(path));
    if (!chain.Entered()) {
        NoteFailure(path, "入れ子のプロジェクトが自分自身を含んでいるか、深すぎます。");
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;  // the file layer has noted why
    }
    return ReadBytes(bytes.data(), bytes.size(), FolderOf(path), target, loader, prompt,
                     ToNativePath(path));
}

}  // namespace kelvane::ProjectFile

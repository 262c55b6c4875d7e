#include "model/FileTableCommands.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "model/Document.h"
#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/TypedTime.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

std::string FileLoadFailedText(std::u16string_view path) {
    const std::string_view format(messages::kFileLoadFailed);
    const size_t at = format.find("%s");
    if (at == std::string_view::npos) {
        return std::string(format);
    }
    std::string text(format.substr(0, at));
    text += ToUtf8(path);
    text += format.substr(at + 2);
    // The message names the file already; the next line says what is wrong with it.
    const std::string& reason = LastFailureNote().reason;
    if (!reason.empty()) {
        text += "\n" + reason;
    }
    return text;
}

}  // namespace

int32_t FileTableCommands::FindFreeFileId(uint32_t& cursor) const {
    const uint32_t start = cursor % kFileSlots;
    for (uint32_t n = 0; n < kFileSlots; ++n) {
        const uint32_t id = (start + n) % kFileSlots;
        if (!doc_.GetProject().files[id].Used()) {
            cursor = id;
            return int32_t(id);
        }
    }
    return -1;
}

int32_t FileTableCommands::AllocateFileId(uint32_t& cursor) {
    const int32_t id = FindFreeFileId(cursor);
    if (id < 0) {
        doc_.Prompt().ShowError(messages::kTooManyFiles);
    }
    return id;
}

bool FileTableCommands::LoadFileInto(FileEntry& entry, std::u16string_view path) {
    // A path that cannot be stored in the slot cannot be loaded either.
    ClearFailureNote();
    if (path.size() >= kPathUnits || !doc_.Services().DetectAndOpen(doc_.Model(), entry, path)) {
        doc_.Prompt().ShowError(FileLoadFailedText(path));
        return false;
    }
    return true;
}

bool FileTableCommands::AddDroppedFiles(std::span<const std::u16string> paths,
                                        FileSelection& selection, const FileProgress& progress,
                                        const std::function<void()>& finished) {
    if (paths.empty()) {
        if (finished) {
            finished();
        }
        return true;
    }
    doc_.BeginEdit();
    bool ok = true;
    bool full = false;
    std::string failures;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (progress && !progress(i, paths.size())) {
            ok = false;
            break;
        }
        const int32_t id = FindFreeFileId(selection.cursor);
        if (id < 0) {
            full = true;
            ok = false;
            break;
        }
        // A failed file leaves its slot unused, so the next file takes it.
        const std::u16string_view path = paths[i];
        ClearFailureNote();
        FileEntry& entry = doc_.Model().files[size_t(id)];
        if (path.size() >= kPathUnits ||
            !doc_.Services().DetectAndOpen(doc_.Model(), entry, path)) {
            failures += (failures.empty() ? "" : "\n") + FileLoadFailedText(path);
            ok = false;
        } else {
            entry.pixelFlags = entry.DefaultPixelFlags();
        }
    }
    if (finished) {
        finished();
    }
    if (full) {
        doc_.Prompt().ShowError(messages::kTooManyFiles);
    }
    if (!failures.empty()) {
        doc_.Prompt().ShowError(failures);
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::All);
    return ok;
}

bool FileTableCommands::AddFile(FileSelection& selection,
                                const std::function<void(uint32_t id)>& properties) {
    const int32_t id = AllocateFileId(selection.cursor);
    if (id < 0) {
        return false;
    }
    // An entry without a transparent colour, until the dialog says otherwise.
    doc_.Model().files[size_t(id)].colour = 0xFFFFFFFF;
    selection.marks.set(size_t(id));
    if (properties) {
        properties(uint32_t(id));
    }
    if (!doc_.Model().files[size_t(id)].Used()) {
        doc_.Model().files[size_t(id)].colour = 0;  // an unused slot is all cleared
        selection.marks.reset(size_t(id));
        return false;
    }
    return true;
}

FilePropertiesForm FileTableCommands::FormForDialog(uint32_t id) const {
    FilePropertiesForm form;
    form.id = id;
    if (id >= kFileSlots) {
        return form;
    }
    const FileEntry& entry = doc_.GetProject().files[id];
    uint32_t colour = entry.colour;
    if (entry.kind == FileKind::Text) {
        form.useText = true;
        form.text = entry.text;
        colour = entry.TextColour();
    } else {
        form.path = std::u16string(PathView(entry.path));
        if (entry.kind == FileKind::Movie && entry.referenceDuration > 0) {
            char rate[64];
            std::snprintf(rate, sizeof(rate), "%g",
                          double(kRefTimePerSecond) / double(entry.referenceDuration));
            form.referenceRate = FromUtf8(rate);
        }
        form.useTransparent = entry.HasTransparentColour();
    }
    // A new entry starts with what a dropped file would get; the alpha flag of a file without
    // alpha is dropped when the dialog is applied.
    form.pixelFlags = entry.Used() ? entry.pixelFlags : kPixelUseAlpha | kPixelSmoothText;
    form.kind = entry.kind;
    form.alphaAvailable = entry.loaded && entry.loaded->HasAlpha();
    form.red = uint8_t(colour & 0xFF);
    form.green = uint8_t((colour >> 8) & 0xFF);
    form.blue = uint8_t((colour >> 16) & 0xFF);
    form.font = entry.font;
    return form;
}

bool FileTableCommands::ApplyProperties(uint32_t id, const FilePropertiesForm& form,
                                        FileSelection& selection) {
    if (id >= kFileSlots || form.id >= kFileSlots) {
        return false;
    }
    if (form.id != id && doc_.Model().files[form.id].Used()) {
        doc_.Prompt().ShowError(messages::kIdInUse);
        return false;
    }
    doc_.BeginEdit();
    if (form.id != id) {
        // Events keep their IDs: those that named the old ID now name an unused slot.
        std::swap(doc_.Model().files[id], doc_.Model().files[form.id]);
        selection.marks.reset(id);
        selection.marks.set(form.id);
        selection.cursor = form.id;
        id = form.id;
    }
    FileEntry& entry = doc_.Model().files[id];
    RefTime reference = entry.referenceDuration;
    ParseReferenceRate(form.referenceRate, reference);  // unreadable text keeps the old value

    bool ok = true;
    const uint32_t colour =
        uint32_t(form.red) | uint32_t(form.green) << 8 | uint32_t(form.blue) << 16;
    if (form.useText) {
        entry.Release();
        if (!doc_.Services().MakeText(entry, form.text, colour, form.font)) {
            doc_.Prompt().ShowError(messages::kTextFailed);
            ok = false;
        }
    } else {
        // A text entry that becomes a file is loaded even when the path field did not change.
        const bool changed = reference != entry.referenceDuration ||
                             form.path != PathView(entry.path) || entry.kind == FileKind::Text;
        if (changed) {
            entry.Release();
            entry.referenceDuration = reference;
            ok = LoadFileInto(entry, form.path);
        }
        if (entry.Used()) {
            entry.colour = form.useTransparent ? colour : kNoTransparentColour;
        }
    }
    if (entry.Used()) {
        uint32_t flags = form.pixelFlags & AllowedPixelFlags(entry.kind);
        if (!(entry.loaded && entry.loaded->HasAlpha())) {
            flags &= ~kPixelUseAlpha;
        }
        entry.pixelFlags = flags;
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::All);
    return ok;
}

bool FileTableCommands::DuplicateSlot(const FileEntry& source, FileEntry& target) {
    const std::u16string_view path = PathView(source.path);
    switch (source.kind) {
        case FileKind::Movie:
            target.referenceDuration = source.referenceDuration;
            [[fallthrough]];
        case FileKind::Image:
        case FileKind::Project:
            if (!doc_.Services().OpenFile(doc_.Model(), target, source.kind, path)) {
                return false;
            }
            target.colour = source.colour;
            target.pixelFlags = source.pixelFlags;
            return true;
        case FileKind::Effect:
            return doc_.Services().OpenFile(doc_.Model(), target, source.kind, path);
        case FileKind::Text:
            if (!doc_.Services().MakeText(target, source.text, source.TextColour(), source.font)) {
                return false;
            }
            target.pixelFlags = source.pixelFlags;
            return true;
        default:
            return false;
    }
}

bool FileTableCommands::Duplicate(FileSelection& selection) {
    std::vector<uint32_t> sources;
    for (uint32_t id = 0; id < kFileSlots; ++id) {
        if (selection.marks.test(id) && doc_.Model().files[id].Used()) {
            sources.push_back(id);
        }
    }
    if (sources.empty()) {
        return true;
    }
    doc_.BeginEdit();
    bool ok = true;
    for (uint32_t id : sources) {
        const int32_t target = AllocateFileId(selection.cursor);
        if (target < 0) {
            ok = false;
            break;
        }
        if (!DuplicateSlot(doc_.Model().files[id], doc_.Model().files[size_t(target)])) {
            doc_.Prompt().ShowError(messages::kDuplicateFailed);
            ok = false;
            break;
        }
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::All);
    return ok;
}

bool FileTableCommands::Delete(FileSelection& selection) {
    if (selection.marks.none()) {
        doc_.Prompt().ShowError(messages::kNothingToErase);
        return false;
    }
    doc_.BeginEdit();
    for (uint32_t id = 0; id < kFileSlots; ++id) {
        if (selection.marks.test(id)) {
            doc_.Model().files[id].Release();
            doc_.Model().files[id].referenceDuration = 0;
        }
    }
    doc_.UpdateAllViews(nullptr, UpdateHint::All);
    return true;
}

}  // namespace kelvane

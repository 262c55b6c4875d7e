// The file-table commands of the document: what the file list and the file dialog call.
#include <cstdio>
#include <string>
#include <string_view>

#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/TypedTime.h"
#include "model/VelmoDoc.h"
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
    return text;
}

}  // namespace

int32_t CVelmoDoc::AllocateFileId(uint32_t& cursor) {
    const uint32_t start = cursor % kFileSlots;
    for (uint32_t n = 0; n < kFileSlots; ++n) {
        const uint32_t id = (start + n) % kFileSlots;
        if (!project_->files[id].Used()) {
            cursor = id;
            return int32_t(id);
        }
    }
    prompt_.ShowError(messages::kTooManyFiles);
    return -1;
}

bool CVelmoDoc::LoadFileInto(FileEntry& entry, std::u16string_view path) {
    // A path that cannot be stored in the slot cannot be loaded either.
    if (path.size() >= kPathUnits || !services_.DetectAndOpen(*project_, entry, path)) {
        prompt_.ShowError(FileLoadFailedText(path));
        return false;
    }
    return true;
}

bool CVelmoDoc::AddDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection,
                                const FileProgress& progress) {
    if (paths.empty()) {
        return true;
    }
    BeginEdit();
    bool ok = true;
    std::string failures;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (progress && !progress(i, paths.size())) {
            ok = false;
            break;
        }
        const int32_t id = AllocateFileId(selection.cursor);
        if (id < 0) {
            ok = false;
            break;
        }
        // A failed file leaves its slot unused, so the next file takes it.
        const std::u16string_view path = paths[i];
        if (path.size() >= kPathUnits ||
            !services_.DetectAndOpen(*project_, project_->files[size_t(id)], path)) {
            failures += (failures.empty() ? "" : "\n") + FileLoadFailedText(path);
            ok = false;
        }
    }
    if (!failures.empty()) {
        prompt_.ShowError(failures);
    }
    UpdateAllViews(nullptr, kHintAll);
    return ok;
}

bool CVelmoDoc::AddFile(FileSelection& selection,
                        const std::function<void(uint32_t id)>& properties) {
    const int32_t id = AllocateFileId(selection.cursor);
    if (id < 0) {
        return false;
    }
    // An entry without a transparent colour, until the dialog says otherwise.
    project_->files[size_t(id)].colour = 0xFFFFFFFF;
    selection.marks.set(size_t(id));
    if (properties) {
        properties(uint32_t(id));
    }
    if (!project_->files[size_t(id)].Used()) {
        project_->files[size_t(id)].colour = 0;  // an unused slot is all cleared
        selection.marks.reset(size_t(id));
        return false;
    }
    return true;
}

FilePropertiesForm CVelmoDoc::FilePropertiesForDialog(uint32_t id) const {
    FilePropertiesForm form;
    form.id = id;
    if (id >= kFileSlots) {
        return form;
    }
    const FileEntry& entry = project_->files[id];
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
    form.red = uint8_t(colour & 0xFF);
    form.green = uint8_t((colour >> 8) & 0xFF);
    form.blue = uint8_t((colour >> 16) & 0xFF);
    form.font = entry.font;
    return form;
}

bool CVelmoDoc::ApplyFileProperties(uint32_t id, const FilePropertiesForm& form,
                                    FileSelection& selection) {
    if (id >= kFileSlots || form.id >= kFileSlots) {
        return false;
    }
    if (form.id != id && project_->files[form.id].Used()) {
        prompt_.ShowError(messages::kIdInUse);
        return false;
    }
    BeginEdit();
    if (form.id != id) {
        // Events keep their IDs: those that named the old ID now name an unused slot.
        std::swap(project_->files[id], project_->files[form.id]);
        selection.marks.reset(id);
        selection.marks.set(form.id);
        selection.cursor = form.id;
        id = form.id;
    }
    FileEntry& entry = project_->files[id];
    RefTime reference = entry.referenceDuration;
    ParseReferenceRate(form.referenceRate, reference);  // unreadable text keeps the old value

    bool ok = true;
    const uint32_t colour =
        uint32_t(form.red) | uint32_t(form.green) << 8 | uint32_t(form.blue) << 16;
    if (form.useText) {
        entry.Release();
        if (!services_.MakeText(entry, form.text, colour, form.font)) {
            prompt_.ShowError(messages::kTextFailed);
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
    UpdateAllViews(nullptr, kHintAll);
    return ok;
}

bool CVelmoDoc::DuplicateSlot(const FileEntry& source, FileEntry& target) {
    const std::u16string_view path = PathView(source.path);
    switch (source.kind) {
        case FileKind::Movie:
            target.referenceDuration = source.referenceDuration;
            [[fallthrough]];
        case FileKind::Image:
        case FileKind::Project:
            if (!services_.OpenFile(*project_, target, source.kind, path)) {
                return false;
            }
            target.colour = source.colour;
            return true;
        case FileKind::Effect:
            return services_.OpenFile(*project_, target, source.kind, path);
        case FileKind::Text:
            return services_.MakeText(target, source.text, source.TextColour(), source.font);
        default:
            return false;
    }
}

bool CVelmoDoc::DuplicateFiles(FileSelection& selection) {
    std::vector<uint32_t> sources;
    for (uint32_t id = 0; id < kFileSlots; ++id) {
        if (selection.marks.test(id) && project_->files[id].Used()) {
            sources.push_back(id);
        }
    }
    if (sources.empty()) {
        return true;
    }
    BeginEdit();
    bool ok = true;
    for (uint32_t id : sources) {
        const int32_t target = AllocateFileId(selection.cursor);
        if (target < 0) {
            ok = false;
            break;
        }
        if (!DuplicateSlot(project_->files[id], project_->files[size_t(target)])) {
            prompt_.ShowError(messages::kDuplicateFailed);
            ok = false;
            break;
        }
    }
    UpdateAllViews(nullptr, kHintAll);
    return ok;
}

bool CVelmoDoc::DeleteFiles(FileSelection& selection) {
    if (selection.marks.none()) {
        prompt_.ShowError(messages::kNothingToErase);
        return false;
    }
    BeginEdit();
    for (uint32_t id = 0; id < kFileSlots; ++id) {
        if (selection.marks.test(id)) {
            project_->files[id].Release();
            project_->files[id].referenceDuration = 0;
        }
    }
    UpdateAllViews(nullptr, kHintAll);
    return true;
}

}  // namespace kelvane

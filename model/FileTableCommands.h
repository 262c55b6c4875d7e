#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "model/DocumentForms.h"

namespace kelvane {

class Document;
struct FileEntry;

// The file-table commands: what the file list and the file dialog call. Every change of the
// table updates all views with UpdateHint::All. The caller keeps the list's cursor and marks.
class FileTableCommands {
  public:
    explicit FileTableCommands(Document& document) : doc_(document) {}

    // The first unused slot from the cursor upward, wrapping from 1023 to 0; the cursor moves to
    // it. -1 after "ファイルが多すぎます。" when every slot is used.
    int32_t AllocateFileId(uint32_t& cursor);
    // Files dropped on the file list, in order; stops at the first that cannot be added.
    bool AddDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection);
    // "ファイルの追加": a free slot, marked, then the property dialog (`properties` shows it and
    // applies it through ApplyProperties). The mark goes again when the slot stays unused.
    bool AddFile(FileSelection& selection, const std::function<void(uint32_t id)>& properties);
    // The property dialog's values for entry `id` (0 to 1023).
    FilePropertiesForm FormForDialog(uint32_t id) const;
    // The property dialog of entry `id` ended with OK.
    bool ApplyProperties(uint32_t id, const FilePropertiesForm& form, FileSelection& selection);
    bool Duplicate(FileSelection& selection);
    bool Delete(FileSelection& selection);

  private:
    bool LoadFileInto(FileEntry& entry, std::u16string_view path);
    bool DuplicateSlot(const FileEntry& source, FileEntry& target);

    Document& doc_;
};

}  // namespace kelvane

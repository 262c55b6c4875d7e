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
    // Before each file of a long file operation: `done` of `total` files; false stops there.
    using FileProgress = std::function<bool(size_t done, size_t total)>;
    // Files dropped on the file list, in order, as one undoable step. A file that cannot be read
    // is skipped and the others go on; the files that failed are named in one message at the
    // end. Stops when the table is full or `progress` says so; what was added stays. False when
    // any file was not added. `finished` runs once the files are done and before any message,
    // so that whatever shows the progress is gone when the message asks for an answer.
    bool AddDroppedFiles(std::span<const std::u16string> paths, FileSelection& selection,
                         const FileProgress& progress = {},
                         const std::function<void()>& finished = {});
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
    // AllocateFileId without its message: -1 when every slot is used.
    int32_t FindFreeFileId(uint32_t& cursor) const;
    bool LoadFileInto(FileEntry& entry, std::u16string_view path);
    bool DuplicateSlot(const FileEntry& source, FileEntry& target);

    Document& doc_;
};

}  // namespace kelvane

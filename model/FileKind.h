#pragma once

#include <cstdint>

namespace kelvane {

// The codes are stored in project files.
enum class FileKind : int32_t {
    None = 0,  // slot unused
    Movie = 1,
    Image = 2,
    Text = 3,
    Effect = 4,
    Project = 5,  // a nested project file
};

// The kind as the file list and dialogs name it; "不明" for codes outside 1 to 5. UTF-8.
const char* FileKindName(FileKind kind);

}  // namespace kelvane

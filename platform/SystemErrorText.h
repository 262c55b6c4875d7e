#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The system's reason for a failed file operation as a Japanese sentence ("ディスクに空き領域が
// ありません。"), from the errno value. `path` (native, may be empty) tells a missing file from a
// missing folder on the way to it.
std::string SystemErrorText(int errorNumber, std::string_view path = {});

}  // namespace kelvane

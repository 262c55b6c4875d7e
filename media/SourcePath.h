#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The full paths to try, in order, for a path as a file entry holds it. A path without a leading
// backslash is used as it stands. A path with one is relative: it is joined directly ("%s%s", the
// path's own backslash being the separator) to the project's base path, then to the project
// file's folder, and last to the executable's folder, so that defaults such as "\effect.so" work
// in projects saved anywhere. A joined path of 260 code units or more ends the list there.
std::vector<std::u16string> SourcePathCandidates(std::u16string_view path,
                                                 std::u16string_view basePath,
                                                 std::u16string_view projectFolder,
                                                 std::u16string_view executableFolder);

// The same with the running executable's folder.
std::vector<std::u16string> SourcePathCandidates(std::u16string_view path,
                                                 std::u16string_view basePath,
                                                 std::u16string_view projectFolder);

}  // namespace kelvane

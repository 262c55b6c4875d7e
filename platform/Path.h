#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane {

// Paths are held as UTF-16 in fixed buffers of 260 code units including the terminator, exactly
// as project files store them. A path that begins with a backslash is relative to the project.
constexpr size_t kPathUnits = 260;
using PathBuffer = char16_t[kPathUnits];

// Length of a NUL-terminated buffer of `capacity` units; `capacity` when no terminator is found.
size_t BoundedLength(const char16_t* text, size_t capacity);
std::u16string_view PathView(const PathBuffer& path);

// Copies src with its terminator; fails (leaving dst as it was) when it does not fit.
bool CopyPath(PathBuffer& dst, std::u16string_view src);

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// The UTF-8 path that the OS opens: every backslash becomes '/'.
std::string ToNativePath(std::u16string_view path);

// The folder of a path: up to, not including, its last '\' or '/'; empty when there is none.
std::u16string FolderOf(std::u16string_view path);

// The folder of the running executable, without a trailing separator.
std::u16string ExecutableFolder();
// The running executable's file name without its folder ("kelvane").
std::u16string ExecutableName();

}  // namespace kelvane

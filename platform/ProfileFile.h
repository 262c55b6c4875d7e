#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Path.h"

namespace kelvane {

// An INI file with the platform's profile semantics: sections and keys compared
// case-insensitively; integers read with an optional sign and any text after the digits ignored;
// strings as they stand (no escapes); a write keeps every other section, key and line of the file.
// Every call reads or rewrites the file itself, like the platform's profile functions.
class ProfileFile {
  public:
    explicit ProfileFile(std::u16string path) : path_(std::move(path)) {}

    const std::u16string& Path() const { return path_; }

    int32_t ReadInt(std::string_view section, std::string_view key, int32_t defaultValue) const;
    // Reads into a 260-unit buffer, truncated to 259 units; `defaultValue` when the key is missing.
    void ReadString(std::string_view section, std::string_view key,
                    std::u16string_view defaultValue, PathBuffer& out) const;
    bool WriteInt(std::string_view section, std::string_view key, int32_t value);
    bool WriteString(std::string_view section, std::string_view key, std::u16string_view value);

  private:
    std::u16string path_;
};

}  // namespace kelvane

#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Path.h"

namespace kelvane::testing {

// The UTF-16 form of an ASCII path (temporary folders are ASCII).
inline std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvane-XXXXXX").string();
        native_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!native_.empty()) {
            std::filesystem::remove_all(native_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Native() const { return native_; }
    // A file in the folder by its native (UTF-8) path.
    std::string File(const std::string& name) const { return native_ + "/" + name; }
    std::u16string Path() const { return FromUtf8(native_); }
    std::u16string PathOf(const std::string& name) const { return FromUtf8(native_ + "/" + name); }

    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(native_ + "/" + name, std::ios::binary) << bytes;
    }
    std::string Get(const std::string& name) const {
        std::ifstream in(native_ + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Has(const std::string& name) const {
        return std::filesystem::exists(native_ + "/" + name);
    }

  private:
    std::string native_;
};

}  // namespace kelvane::testing

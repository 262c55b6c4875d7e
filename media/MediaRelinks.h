#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Where the media of a project went: pairs of folders, the old one and the one its files are in
// now. A file missing at its old full path is looked for at the same place under the new folder
// (the same name, and the same subfolders below it). Paths in either spelling: '\' and '/' are
// both separators.
class MediaRelinks {
  public:
    // Files of `from` and below are looked for in `to` from now on. Later pairs come first.
    void Add(std::u16string_view from, std::u16string_view to);
    bool Empty() const { return folders_.empty(); }

    // The full paths under the new folders where a file missing at `fullPath` may be now, in
    // the order to try them.
    std::vector<std::u16string> Candidates(std::u16string_view fullPath) const;

    // How many entries were loaded from where a relink pointed.
    size_t RelinkedCount() const { return relinked_; }
    void CountRelinked() { ++relinked_; }

  private:
    struct Pair {
        std::u16string from;  // with '/' separators and no trailing one
        std::u16string to;
    };
    std::vector<Pair> folders_;
    size_t relinked_ = 0;
};

// The path a file entry keeps for the file at `fullPath`: when its old path was relative ("\"
// first) and the file lies under the base path or the project folder, relative to that one
// ("\sub\name.png") so that the project moves with its media; otherwise the full path.
std::u16string StoredMediaPath(std::u16string_view fullPath, bool oldWasRelative,
                               std::u16string_view basePath, std::u16string_view projectFolder);

}  // namespace kelvane

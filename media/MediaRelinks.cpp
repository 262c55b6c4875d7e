#include "media/MediaRelinks.h"

#include <algorithm>

namespace kelvane {

namespace {

// One spelling for comparing: '/' between the parts, none at the end.
std::u16string folderKey(std::u16string_view path) {
    std::u16string key(path);
    std::replace(key.begin(), key.end(), u'\\', u'/');
    while (key.size() > 1 && key.back() == u'/') {
        key.pop_back();
    }
    return key;
}

// The part of `path` below `folder` ("/name.png", "/sub/name.png"), or empty when it is not
// below it.
std::u16string below(const std::u16string& path, const std::u16string& folder) {
    if (folder.empty() || path.size() <= folder.size() + 1 ||
        path.compare(0, folder.size(), folder) != 0 || path[folder.size()] != u'/') {
        return {};
    }
    return path.substr(folder.size());
}

}  // namespace

void MediaRelinks::Add(std::u16string_view from, std::u16string_view to) {
    Pair pair{folderKey(from), folderKey(to)};
    if (pair.from.empty() || pair.to.empty() || pair.from == pair.to) {
        return;
    }
    folders_.erase(std::remove_if(folders_.begin(), folders_.end(),
                                  [&](const Pair& p) { return p.from == pair.from; }),
                   folders_.end());
    folders_.insert(folders_.begin(), std::move(pair));
}

std::vector<std::u16string> MediaRelinks::Candidates(std::u16string_view fullPath) const {
    const std::u16string path = folderKey(fullPath);
    std::vector<std::u16string> candidates;
    for (const Pair& pair : folders_) {
        const std::u16string rest = below(path, pair.from);
        if (!rest.empty()) {
            candidates.push_back(pair.to + rest);
        }
    }
    return candidates;
}

std::u16string StoredMediaPath(std::u16string_view fullPath, bool oldWasRelative,
                               std::u16string_view basePath, std::u16string_view projectFolder) {
    const std::u16string path = folderKey(fullPath);
    if (oldWasRelative) {
        for (std::u16string_view prefix : {basePath, projectFolder}) {
            std::u16string rest = below(path, folderKey(prefix));
            if (!rest.empty()) {
                std::replace(rest.begin(), rest.end(), u'/', u'\\');
                return rest;
            }
        }
    }
    return path;
}

}  // namespace kelvane

#include "media/SourcePath.h"

#include "platform/Path.h"

namespace kelvane {

std::vector<std::u16string> SourcePathCandidates(std::u16string_view path,
                                                 std::u16string_view basePath,
                                                 std::u16string_view projectFolder,
                                                 std::u16string_view executableFolder) {
    std::vector<std::u16string> candidates;
    if (path.empty() || path.front() != u'\\') {
        candidates.emplace_back(path);
        return candidates;
    }
    for (std::u16string_view prefix : {basePath, projectFolder, executableFolder}) {
        std::u16string joined = std::u16string(prefix) + std::u16string(path);
        if (joined.size() >= kPathUnits) {
            break;
        }
        candidates.push_back(std::move(joined));
    }
    return candidates;
}

std::vector<std::u16string> SourcePathCandidates(std::u16string_view path,
                                                 std::u16string_view basePath,
                                                 std::u16string_view projectFolder) {
    return SourcePathCandidates(path, basePath, projectFolder, ExecutableFolder());
}

}  // namespace kelvane

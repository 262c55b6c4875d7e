#include "cli/ProjectLoading.h"

#include <filesystem>
#include <system_error>

#include "cli/Console.h"
#include "media/MediaRelinks.h"
#include "media/ProjectLoader.h"
#include "model/DocumentMessages.h"
#include "model/ProjectFile.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"

namespace kelvane::cli {

namespace {

std::filesystem::path Absolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? std::filesystem::path(path) : full.lexically_normal();
}

}  // namespace

std::unique_ptr<Project> LoadProject(const std::string& path, UserPrompt& prompt,
                                     const std::vector<FolderRelink>& relinks) {
    MediaRelinks folders;
    for (const FolderRelink& relink : relinks) {
        folders.Add(FromUtf8(Absolute(relink.from).string()),
                    FromUtf8(Absolute(relink.to).string()));
    }
    std::unique_ptr<Project> project = Project::Create();
    ProjectLoader loader(prompt);
    loader.SetRelinks(&folders);
    ClearFailureNote();
    if (!project ||
        !ProjectFile::Read(FromUtf8(Absolute(path).string()), *project, loader, prompt)) {
        prompt.ShowError(WithFailureNote(messages::kLoadFailed));
        return nullptr;
    }
    if (!relinks.empty()) {
        ConsoleMessage("kelvane-render: " + std::to_string(folders.RelinkedCount()) +
                       " 個の素材を新しいフォルダから読み込みました。\n");
    }
    return project;
}

}  // namespace kelvane::cli

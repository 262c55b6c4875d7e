#include "cli/ProjectLoading.h"

#include <filesystem>
#include <system_error>

#include "media/ProjectLoader.h"
#include "model/DocumentMessages.h"
#include "model/ProjectFile.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"

namespace kelvane::cli {

std::unique_ptr<Project> LoadProject(const std::string& path, UserPrompt& prompt) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error) {
        full = path;
    }
    std::unique_ptr<Project> project = Project::Create();
    ProjectLoader loader(prompt);
    ClearFailureNote();
    if (!project ||
        !ProjectFile::Read(FromUtf8(full.lexically_normal().string()), *project, loader, prompt)) {
        prompt.ShowError(WithFailureNote(messages::kLoadFailed));
        return nullptr;
    }
    return project;
}

}  // namespace kelvane::cli

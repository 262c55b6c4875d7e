#include "model/VelmoDoc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "model/DocumentMessages.h"
#include "model/DocumentServices.h"
#include "model/TypedTime.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

std::unique_ptr<Project> NewDefaultProject() {
    std::unique_ptr<Project> project = Project::Create();
    if (project) {
        project->ApplyDefaults();
        CopyPath(project->projectFolder, ExecutableFolder());  // a folder too long stays empty
    }
    return project;
}

// The project folder follows the file: its path up to the last separator.
void SetProjectFolder(Project& project, std::u16string_view path) {
    if (!CopyPath(project.projectFolder, FolderOf(path))) {
        project.projectFolder[0] = 0;
    }
}

std::u16string FormatCount(uint32_t value) {
    return FromUtf8(std::to_string(value));
}

}  // namespace

CVelmoDoc::CVelmoDoc(DocumentServices& services, UserPrompt& prompt, Clipboard& clipboard)
    : services_(services), prompt_(prompt), clipboard_(clipboard) {
    project_ = NewDefaultProject();
    if (!project_) {
        throw std::bad_alloc();
    }
    for (size_t i = 0; i < kTemplateSlots; ++i) {
        templateKeys_[i] = TemplateKeyLabel(i);
    }
}

CVelmoDoc::~CVelmoDoc() = default;

void CVelmoDoc::InstallProject(std::unique_ptr<Project> project) {
    preview_ = PreviewRequest{};
    preview_.pending = true;
    drag_ = DragState{};
    history_.Clear();
    project_ = std::move(project);
    modified_ = false;
    if (rebuildViews_) {
        rebuildViews_();
    }
    UpdateAllViews(nullptr, kHintAll);
}

bool CVelmoDoc::OnNewDocument() {
    // The old project and its snapshots go first, so that both never need memory at once.
    history_.Clear();
    std::unique_ptr<Project> project = NewDefaultProject();
    if (!project) {
        return false;
    }
    InstallProject(std::move(project));
    return true;
}

bool CVelmoDoc::OnOpenDocument(std::u16string_view path) {
    std::unique_ptr<Project> project = Project::Create();
    if (!project) {
        return false;
    }
    project->ApplyDefaults();
    if (!services_.ReadProject(path, *project)) {
        prompt_.ShowError(messages::kLoadFailed);
        return false;
    }
    SetProjectFolder(*project, path);
    project->CopyDefaultMethodToTracks();
    InstallProject(std::move(project));
    return true;
}

bool CVelmoDoc::OnSaveDocument(std::u16string_view path) {
    if (!services_.WriteProject(path, *project_)) {
        prompt_.ShowError(messages::kSaveFailed);
        return false;
    }
    SetProjectFolder(*project_, path);
    modified_ = false;
    UpdateAllViews(nullptr, kHintAll);
    return true;
}

CVelmoDoc::ObserverId CVelmoDoc::AddView(const void* owner, ViewObserver observer) {
    const ObserverId id = nextObserver_++;
    observers_.push_back(Observer{id, owner, std::move(observer)});
    return id;
}

void CVelmoDoc::RemoveView(ObserverId id) {
    std::erase_if(observers_, [id](const Observer& o) { return o.id == id; });
}

void CVelmoDoc::UpdateAllViews(const void* sender, uint32_t hint) {
    // A view may add or remove views while it updates; it works on a copy of the list, and a
    // view removed meanwhile is not called.
    const std::vector<Observer> current = observers_;
    for (const Observer& o : current) {
        if (sender != nullptr && o.owner == sender) {
            continue;
        }
        const bool stillThere = std::any_of(observers_.begin(), observers_.end(),
                                            [&o](const Observer& x) { return x.id == o.id; });
        if (stillThere && o.callback) {
            o.callback(sender, hint);
        }
    }
}

bool CVelmoDoc::Checkpoint() {
    if (!history_.Checkpoint(*project_)) {
        prompt_.ShowError(messages::kCheckpointFailed);
        return false;
    }
    modified_ = true;
    return true;
}

void CVelmoDoc::BeginEdit() {
    Checkpoint();
    modified_ = true;
}

void CVelmoDoc::ShowMemoryLost() {
    prompt_.ShowError(messages::kMemoryLost);
}

void CVelmoDoc::OnEditUndo() {
    // A restore that fails part way is not reported: the project stays as far as it got.
    if (history_.Undo(*project_, services_)) {
        modified_ = true;
        UpdateAllViews(nullptr, kHintAll);
    }
}

void CVelmoDoc::OnEditRedo() {
    if (history_.Redo(*project_, services_)) {
        modified_ = true;
        UpdateAllViews(nullptr, kHintAll);
    }
}

ProjectSettingsForm CVelmoDoc::ProjectSettingsForDialog() const {
    const ProjectSettings& s = project_->settings;
    ProjectSettingsForm form;
    form.basePath = std::u16string(PathView(s.basePath));
    form.width = s.width;
    form.height = s.height;
    form.frameRate = s.frameRate;
    form.length = FormatCount(s.length);
    form.red = uint8_t(s.background & 0xFF);
    form.green = uint8_t((s.background >> 8) & 0xFF);
    form.blue = uint8_t((s.background >> 16) & 0xFF);
    form.defaultDrawMethod = s.defaultDrawMethod;
    return form;
}

bool CVelmoDoc::OnProjectSettings(const ProjectSettingsForm& form) {
    // The dialog keeps to these ranges; anything else would break the rescale or the renderer.
    if (form.width < 1 || form.width > 4096 || form.height < 1 || form.height > 4096 ||
        !(form.frameRate >= 0.001 && form.frameRate <= 1000.0) || form.defaultDrawMethod < 0 ||
        form.defaultDrawMethod > 4 || form.basePath.size() >= kPathUnits) {
        return false;
    }
    BeginEdit();
    ProjectSettings& s = project_->settings;
    uint32_t length = s.length;
    TypedTimeToFrames(ParseTypedTime(form.length), s.frameDuration, length);  // unreadable: kept

    bool rescale = false;
    if (form.frameRate != s.frameRate) {
        rescale = prompt_.AskOkCancel(messages::kFrameRateChanged);
    }
    PathBuffer basePath{};
    CopyPath(basePath, form.basePath);
    const uint32_t background =
        uint32_t(form.red) | uint32_t(form.green) << 8 | uint32_t(form.blue) << 16;
    project_->ApplySettings(rescale, form.width, form.height, length, background,
                            form.defaultDrawMethod, form.frameRate, basePath);
    if (s.length > kMaxProjectLength) {
        char text[128];
        std::snprintf(text, sizeof(text), messages::kLengthLimited, unsigned(kMaxProjectLength));
        prompt_.ShowError(text);
        s.length = kMaxProjectLength;
    }
    project_->CopyDefaultMethodToTracks();
    UpdateAllViews(nullptr, kHintAll);
    return true;
}

}  // namespace kelvane

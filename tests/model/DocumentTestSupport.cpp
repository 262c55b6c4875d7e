#include "DocumentTestSupport.h"

#include <utility>

namespace kelvane::testing {

bool FakeServices::ReadProject(std::u16string_view path, Project& project) {
    auto it = saved.find(std::u16string(path));
    return it != saved.end() && CopyProjectSnapshot(*it->second, project);
}

bool FakeServices::WriteProject(std::u16string_view path, Project& project) {
    if (failWrites) {
        return false;
    }
    std::unique_ptr<Project> copy = Project::Create();
    if (!CopyProjectSnapshot(project, *copy)) {
        return false;
    }
    saved[std::u16string(path)] = std::move(copy);
    return true;
}

bool FakeServices::OpenFile(const Project&, FileEntry& entry, FileKind kind,
                            std::u16string_view path) {
    const std::u16string key(path);
    calls.push_back(Call{kind, key});
    auto it = files.find(key);
    if (it == files.end() || it->second.kind != kind || failing.count(key) != 0) {
        return false;
    }
    const RefTime reference = entry.referenceDuration;
    entry.Release();
    entry.referenceDuration = reference;
    entry.kind = kind;
    CopyPath(entry.path, path);
    entry.colour = kNoTransparentColour;
    entry.loaded =
        std::make_unique<FakeSource>(nextSerial++, it->second.w, it->second.h, it->second.alpha);
    return true;
}

bool FakeServices::MakeText(FileEntry& entry, std::u16string_view text, uint32_t textColour,
                            const LogFont& font) {
    calls.push_back(Call{FileKind::Text, std::u16string(text)});
    if (failing.count(std::u16string(text)) != 0) {
        return false;
    }
    entry.Release();
    entry.kind = FileKind::Text;
    entry.SetText(text);
    entry.colour = TextKeyColour(textColour);
    entry.font = font;
    entry.loaded = std::make_unique<FakeSource>(nextSerial++, int32_t(text.size()) * 8, 16);
    return true;
}

void FakeServices::ImageSize(const FileEntry& entry, int32_t& width, int32_t& height) const {
    const auto* source = dynamic_cast<const FakeSource*>(entry.loaded.get());
    width = source ? source->width : 0;
    height = source ? source->height : 0;
}

std::vector<FakeServices::Call> FakeServices::TakeCalls() {
    return std::exchange(calls, {});
}

int SerialOf(const FileEntry& entry) {
    const auto* source = dynamic_cast<const FakeSource*>(entry.loaded.get());
    return source ? source->serial : 0;
}

std::unique_ptr<Project> DefaultProject() {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    return project;
}

}  // namespace kelvane::testing

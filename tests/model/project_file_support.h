#pragma once

#include "support/ScriptedPrompt.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/FileEntry.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SourceLoader.h"
#include "platform/Path.h"
#include "platform/UserPrompt.h"

namespace kelvane::testing {

// Stands in for the media layer: every path or text loads unless it is listed as failing. Nested
// projects are really read (relative paths against the owner's folder only) when `readNested`.
class FakeLoader : public SourceLoader {
  public:
    struct Source : LoadedSource {
        std::unique_ptr<Project> nested;
    };

    bool OpenEntry(Project& owner, FileEntry& entry) override {
        const std::u16string path(PathView(entry.path));
        opened.push_back(path);
        if (failing.count(path) != 0 || entry.Used() == false || entry.loaded) {
            return false;
        }
        auto source = std::make_unique<Source>();
        if (entry.kind == FileKind::Project && readNested) {
            std::u16string full = path;
            if (!full.empty() && full[0] == u'\\') {
                full = std::u16string(PathView(owner.projectFolder)) + full;
            }
            source->nested = Project::Create();
            if (!source->nested || !prompt ||
                !ProjectFile::Read(full, *source->nested, *this, *prompt)) {
                return false;
            }
        }
        entry.loaded = std::move(source);
        entry.colour = kNoTransparentColour;
        return true;
    }

    bool MakeText(Project&, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override {
        texts.emplace_back(text);
        if (failing.count(std::u16string(text)) != 0 || !entry.SetText(text)) {
            return false;
        }
        entry.kind = FileKind::Text;
        entry.colour = TextKeyColour(textColour);
        entry.font = font;
        entry.loaded = std::make_unique<Source>();
        return true;
    }

    std::set<std::u16string> failing;
    std::vector<std::u16string> opened;
    std::vector<std::u16string> texts;
    bool readNested = false;
    UserPrompt* prompt = nullptr;
};

// Builds project files by hand, field by field, little-endian.
class FileBytes {
  public:
    FileBytes& Magic() { return Raw("MPRJ", 4); }
    FileBytes& Raw(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return *this;
    }
    FileBytes& U32(uint32_t v) { return Raw(&v, sizeof(v)); }
    FileBytes& I64(int64_t v) { return Raw(&v, sizeof(v)); }
    FileBytes& F64(double v) { return Raw(&v, sizeof(v)); }
    FileBytes& Path(std::u16string_view text) {
        char16_t block[kPathUnits] = {};
        std::memcpy(block, text.data(), std::min(text.size(), kPathUnits) * sizeof(char16_t));
        return Raw(block, sizeof(block));
    }
    FileBytes& Version(uint32_t v) { return U32(1).U32(v); }
    FileBytes& End() { return U32(2); }
    // A settings chunk; `withMethod` for versions above 1.0.
    FileBytes& Settings(uint32_t width = 640, uint32_t height = 480, double rate = 25.0,
                        bool withMethod = true, uint32_t method = 3) {
        U32(3).Path(u"\\base").U32(width).U32(height).F64(rate).U32(100).U32(0x112233);
        return withMethod ? U32(method) : *this;
    }
    FileBytes& Picture(uint32_t id, std::u16string_view path, uint32_t colour = 0x00FF00FF) {
        return U32(4).U32(id).U32(2).Path(path).U32(colour);
    }
    FileBytes& TrackChunk(uint32_t number, const std::vector<std::vector<uint8_t>>& records) {
        U32(5).U32(number).U32(uint32_t(records.size()));
        for (const auto& r : records) {
            Raw(r.data(), r.size());
        }
        return *this;
    }

    std::vector<uint8_t> bytes;
};

inline std::unique_ptr<Project> NewProject() {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    return project;
}

inline void SetPath(PathBuffer& path, std::u16string_view text) {
    std::memset(path, 0, sizeof(PathBuffer));
    std::memcpy(path, text.data(), text.size() * sizeof(char16_t));
}

}  // namespace kelvane::testing

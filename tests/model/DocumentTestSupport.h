#pragma once

#include "support/ScriptedPrompt.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "model/Clipboard.h"
#include "model/DocumentServices.h"
#include "model/EditHistory.h"
#include "model/Project.h"
#include "platform/UserPrompt.h"

namespace kelvane::testing {

// The loaded object of the scripted media: a serial number tells whether a slot was loaded again.
class FakeSource : public LoadedSource {
  public:
    FakeSource(int serial, int32_t width, int32_t height, bool alpha = false)
        : serial(serial), width(width), height(height), alpha(alpha) {}
    bool HasAlpha() const override { return alpha; }
    int serial;
    int32_t width;
    int32_t height;
    bool alpha;
};

// Media and project files as a script: a path loads as the kind it was given, a failing path or
// text fails, and every load is counted.
class FakeServices : public DocumentServices {
  public:
    struct Call {
        FileKind kind;
        std::u16string path;  // the text, for MakeText
    };

    void AddFile(const std::u16string& path, FileKind kind, int32_t w = 64, int32_t h = 48,
                 bool alpha = false) {
        files[path] = Media{kind, w, h, alpha};
    }

    bool ReadProject(std::u16string_view path, Project& project) override;
    bool WriteProject(std::u16string_view path, Project& project) override;
    bool OpenFile(const Project& paths, FileEntry& entry, FileKind kind,
                  std::u16string_view path) override;
    bool MakeText(FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override;
    void ImageSize(const FileEntry& entry, int32_t& width, int32_t& height) const override;

    // Loads counted since the last call.
    std::vector<Call> TakeCalls();

    struct Media {
        FileKind kind;
        int32_t w;
        int32_t h;
        bool alpha = false;
    };
    std::map<std::u16string, Media> files;
    std::set<std::u16string> failing;  // paths (and texts) that fail to load
    bool failWrites = false;
    std::map<std::u16string, std::unique_ptr<Project>> saved;
    std::vector<Call> calls;
    int nextSerial = 1;
};

// A desktop clipboard that cannot be written.
class RefusingClipboard : public Clipboard {
  public:
    bool Put(std::span<const uint8_t>) override { return false; }
    bool Get(std::vector<uint8_t>&) override { return false; }
};

int SerialOf(const FileEntry& entry);
std::unique_ptr<Project> DefaultProject();

}  // namespace kelvane::testing

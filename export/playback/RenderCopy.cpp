#include "export/playback/RenderCopy.h"

#include <cstring>
#include <vector>

#include "media/MediaSource.h"
#include "media/ProjectLoader.h"
#include "model/ProjectFile.h"
#include "platform/UserPrompt.h"

namespace kelvane {
namespace {

// The live project has asked its questions already: what it could not open is not in it, and
// what fails now is left out in silence rather than asked about again.
class SilentPrompt final : public UserPrompt {
  public:
    void ShowError(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return true; }  // go on without it
    bool AskOkCancel(const std::string&) override { return true; }
    PromptAnswer AskYesNoCancel(const std::string&) override { return PromptAnswer::No; }
};

// A picture or a text never changes once loaded, so the copy takes the live slot's image rather
// than decoding the file or drawing the text again (most of the time a copy takes otherwise).
// Movies, effects and nested projects keep state while they draw: those are opened afresh.
class ReusingLoader final : public SourceLoader {
  public:
    ReusingLoader(const Project& live, ProjectLoader& fresh) : live_(live), fresh_(fresh) {}

    bool OpenEntry(Project& owner, FileEntry& entry) override {
        const FileEntry* twin = Twin(owner, entry);
        if (twin != nullptr && entry.kind == FileKind::Image && twin->kind == FileKind::Image &&
            std::memcmp(twin->path, entry.path, sizeof(entry.path)) == 0 && Reuse(*twin, entry)) {
            entry.colour = kNoTransparentColour;  // the reader stores the slot's own
            return true;
        }
        return fresh_.OpenEntry(owner, entry);
    }

    bool MakeText(Project& owner, FileEntry& entry, std::u16string_view text, uint32_t textColour,
                  const LogFont& font) override {
        const FileEntry* twin = Twin(owner, entry);
        if (twin != nullptr && twin->kind == FileKind::Text && twin->text == text &&
            twin->colour == TextKeyColour(textColour) &&
            std::memcmp(&twin->font, &font, sizeof(LogFont)) == 0) {
            const LogFont fontCopy = font;
            std::u16string textCopy(text);
            if (Reuse(*twin, entry)) {
                entry.kind = FileKind::Text;
                entry.text = std::move(textCopy);
                entry.textLength = uint32_t(entry.text.size());
                entry.font = fontCopy;
                entry.colour = TextKeyColour(textColour);
                return true;
            }
        }
        return fresh_.MakeText(owner, entry, text, textColour, font);
    }

  private:
    // The live slot of the same ID.
    const FileEntry* Twin(const Project& owner, const FileEntry& entry) const {
        const FileEntry* first = owner.files.data();
        if (&entry < first || &entry >= first + owner.files.size()) {
            return nullptr;
        }
        return &live_.files[size_t(&entry - first)];
    }

    static bool CopyImage(const PixelImage& from, PixelImage& to) {
        if (!to.Create(from.Width(), from.Height(), from.BitsPerPixel()) ||
            to.ByteSize() != from.ByteSize()) {
            return false;
        }
        std::memcpy(to.Pixels(), from.Pixels(), from.ByteSize());
        to.SetAlpha(from.Alpha());
        return true;
    }

    // A new source for `entry` holding a copy of the live slot's images.
    static bool Reuse(const FileEntry& twin, FileEntry& entry) {
        const MediaSource* live = MediaSource::Of(twin);
        if (live == nullptr || live->image.Empty()) {
            return false;
        }
        auto source = std::make_unique<MediaSource>();
        if (!CopyImage(live->image, source->image) ||
            (!live->alphaImage.Empty() && !CopyImage(live->alphaImage, source->alphaImage))) {
            return false;
        }
        source->hasAlpha = live->hasAlpha;
        entry.loaded = std::move(source);
        entry.currentFrame = -1;
        return true;
    }

    const Project& live_;
    ProjectLoader& fresh_;
};

}  // namespace

std::unique_ptr<Project> MakeRenderCopy(const Project& live) {
    std::vector<uint8_t> bytes;
    if (!ProjectFile::WriteToMemory(live, bytes)) {
        return nullptr;
    }
    std::unique_ptr<Project> copy = Project::Create();
    if (!copy) {
        return nullptr;
    }
    SilentPrompt prompt;
    ProjectLoader fresh(prompt);
    ReusingLoader loader(live, fresh);
    if (!ProjectFile::ReadFromMemory(bytes.data(), bytes.size(), PathView(live.projectFolder),
                                     *copy, loader, prompt)) {
        return nullptr;
    }
    // The file keeps the rate alone; the duration the live project derived from it stays.
    copy->settings.frameDuration = live.settings.frameDuration;
    return copy;
}

}  // namespace kelvane

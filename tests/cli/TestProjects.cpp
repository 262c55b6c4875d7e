#include "TestProjects.h"

#include "support/BmpFiles.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "model/EventDefaults.h"
#include "model/ProjectFile.h"
#include "platform/Path.h"

namespace kelvane::testing {

namespace {

uint32_t Get32(const std::vector<uint8_t>& in, size_t at) {
    uint32_t v;
    std::memcpy(&v, in.data() + at, 4);
    return v;
}
uint16_t Get16(const std::vector<uint8_t>& in, size_t at) {
    uint16_t v;
    std::memcpy(&v, in.data() + at, 2);
    return v;
}

}  // namespace

std::unique_ptr<Project> MakeProject(uint32_t width, uint32_t height, uint32_t length,
                                     uint32_t backgroundBgr) {
    std::unique_ptr<Project> project = Project::Create();
    project->ApplyDefaults();
    const PathBuffer noBase{};
    project->ApplySettings(false, width, height, length, backgroundBgr, 0, 30.0, noBase);
    return project;
}

void AddPicture(Project& project, int32_t id, const std::u16string& path) {
    FileEntry& entry = project.files[size_t(id)];
    entry.kind = FileKind::Image;
    if (!CopyPath(entry.path, path)) {
        throw std::runtime_error("path too long");
    }
    entry.colour = kNoTransparentColour;
}

void AddText(Project& project, int32_t id, const std::u16string& text, uint32_t textColour,
             int32_t fontHeight) {
    FileEntry& entry = project.files[size_t(id)];
    entry.kind = FileKind::Text;
    entry.SetText(text);
    entry.colour = TextKeyColour(textColour);
    entry.font = LogFont{};
    entry.font.height = fontHeight;
    entry.font.weight = 700;
    const std::u16string face = u"Noto Sans CJK JP";
    std::memcpy(entry.font.faceName, face.data(), face.size() * sizeof(char16_t));
}

TrackEvent PlacedEvent(const Project& project, int32_t id, uint32_t start, int32_t w, int32_t h,
                       float x, float y, int32_t drawMethod) {
    TrackEvent e = NewEventDefaults(project, id, start, w, h);
    e.positionX = x;
    e.positionY = y;
    e.drawMethod = drawMethod;
    return e;
}

void AddEvents(Project& project, uint32_t track, const std::vector<TrackEvent>& events) {
    if (!project.tracks[track].InsertSorted(events.data(), uint32_t(events.size()))) {
        throw std::runtime_error("events not inserted");
    }
}

void WriteProject(Project& project, const std::filesystem::path& path) {
    if (!ProjectFile::Write(FromUtf8(path.string()), project)) {
        throw std::runtime_error("project not written: " + path.string());
    }
}

TestPicture PatternPicture(int32_t width, int32_t height, uint32_t seed) {
    TestPicture p;
    p.width = width;
    p.height = height;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t r = (uint32_t(x) * 37 + seed * 11) & 0xFF;
            const uint32_t g = (uint32_t(y) * 53 + seed * 29) & 0xFF;
            const uint32_t b = (uint32_t(x + y) * 19 + seed * 71) & 0xFF;
            p.pixels.push_back((r << 16) | (g << 8) | b);
        }
    }
    return p;
}

void WriteBmp24(const std::filesystem::path& path, const TestPicture& picture) {
    WriteBmp(
        path.string(), picture.width, picture.height,
        [&picture](int x, int y) { return picture.At(x, y); }, 24);
}

SavedBmp ReadSavedBmp(const std::filesystem::path& path) {
    SavedBmp bmp;
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> in{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    if (in.size() < 54 || in[0] != 'B' || in[1] != 'M') {
        bmp.problem = "not a BMP file";
        return bmp;
    }
    const int32_t w = int32_t(Get32(in, 18));
    const int32_t h = int32_t(Get32(in, 22));
    const uint64_t pixelBytes = uint64_t(w) * 4 * uint64_t(h);
    if (w <= 0 || h <= 0 || Get32(in, 2) != 54 + pixelBytes || in.size() != 54 + pixelBytes ||
        Get16(in, 6) != 0 || Get16(in, 8) != 0 || Get32(in, 10) != 54 || Get32(in, 14) != 40 ||
        Get16(in, 26) != 1 || Get16(in, 28) != 32 || Get32(in, 30) != 0 ||
        Get32(in, 34) != pixelBytes || Get32(in, 38) != 0 || Get32(in, 42) != 0 ||
        Get32(in, 46) != 0 || Get32(in, 50) != 0) {
        bmp.problem = "headers differ from the preview's BMP file";
        return bmp;
    }
    bmp.width = w;
    bmp.height = h;
    for (int32_t y = 0; y < h; ++y) {
        const size_t row = 54 + size_t(h - 1 - y) * size_t(w) * 4;
        for (int32_t x = 0; x < w; ++x) {
            bmp.pixels.push_back(Get32(in, row + size_t(x) * 4));
        }
    }
    bmp.valid = true;
    return bmp;
}

}  // namespace kelvane::testing

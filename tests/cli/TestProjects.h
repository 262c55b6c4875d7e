#pragma once

// Projects and pictures for the tool's tests, built through the model and written with the
// project file writer, so that the tool reads them exactly as the program saves them.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/Project.h"

namespace kelvane::testing {

// An output-size project with no files or events.
std::unique_ptr<Project> MakeProject(uint32_t width, uint32_t height, uint32_t length,
                                     uint32_t backgroundBgr);

// A picture entry (kind 2) at `id` with the path as stored (a leading backslash: relative).
void AddPicture(Project& project, int32_t id, const std::u16string& path);
// A text entry (kind 3).
void AddText(Project& project, int32_t id, const std::u16string& text, uint32_t textColour,
             int32_t fontHeight);

// An event of file `id` at `start`: the whole w x h source placed with its top-left corner at
// (x, y), scale 1, opaque, normal blend, draw method 2 unless told.
TrackEvent PlacedEvent(const Project& project, int32_t id, uint32_t start, int32_t w, int32_t h,
                       float x, float y, int32_t drawMethod = 2);
// Appends events (ascending starts) to a track.
void AddEvents(Project& project, uint32_t track, const std::vector<TrackEvent>& events);

void WriteProject(Project& project, const std::filesystem::path& path);

// A 24-bit BMP file whose pixel (x, y), counted from the top, is pixel(x, y) as 0x00RRGGBB.
struct TestPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // top-down
    uint32_t At(int32_t x, int32_t y) const {
        return pixels[size_t(y) * size_t(width) + size_t(x)];
    }
};
TestPicture PatternPicture(int32_t width, int32_t height, uint32_t seed);
void WriteBmp24(const std::filesystem::path& path, const TestPicture& picture);

// A 32-bit BMP file as the tool writes it: the two headers checked, the pixels top-down.
struct SavedBmp {
    bool valid = false;
    std::string problem;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // top-down, as stored (fourth byte kept)
    uint32_t At(int32_t x, int32_t y) const {
        return pixels[size_t(y) * size_t(width) + size_t(x)];
    }
};
SavedBmp ReadSavedBmp(const std::filesystem::path& path);

}  // namespace kelvane::testing

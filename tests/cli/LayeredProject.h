#pragma once

// A project whose frames depend on everything that a part of an export must reproduce from its
// first frame on: a movie decoded from positions inside groups of pictures, events interpolated
// across the frames where parts meet, and a nested project with a movie of its own.

#include <cstdint>
#include <filesystem>

namespace kelvane::testing {

inline constexpr uint32_t kLayeredProjectLength = 24;

// Writes movie.avi (MPEG-4 part 2 with B-frames, made by the ffmpeg program), a.bmp, nested.xqm
// and layered.xqm into `folder` and returns the path of layered.xqm (64 x 48 at 30 fps,
// kLayeredProjectLength frames). Throws when something cannot be written.
std::filesystem::path WriteLayeredProject(const std::filesystem::path& folder);

}  // namespace kelvane::testing

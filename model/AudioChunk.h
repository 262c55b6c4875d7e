#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/Project.h"

namespace kelvane {

// The project's sound settings in the project file: a skip chunk whose body begins with "KAUD",
// then uint32 version 1, uint32 count and count records of 20 bytes: uint32 kind (0 an event,
// 1 a template slot, 2 a whole track), uint32 number (the track, or the slot), uint32 index (the
// event's index in its track; 0 otherwise), float32 volume (1.0 = 100 %), uint32 flags (bit 0
// muted). Only values that differ from the default (100 %, not muted) have a record, so a project
// that uses none is written without the chunk. Readers that know nothing of it skip it.
namespace audio_chunk {

constexpr uint8_t kName[4] = {'K', 'A', 'U', 'D'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kKindEvent = 0;
constexpr uint32_t kKindTemplate = 1;
constexpr uint32_t kKindTrack = 2;
constexpr size_t kRecordBytes = 20;
constexpr uint32_t kFlagMuted = 1;

// The chunk's body for the project; empty when every value is the default.
std::vector<uint8_t> Body(const Project& project);

// Whether a skip chunk's body is this chunk.
bool Names(const uint8_t* body, size_t size);

// Applies a body to a project whose tracks and templates are read. False, with the reason in
// `reason` and the project unchanged, when the body is malformed.
bool Apply(Project& project, const uint8_t* body, size_t size, std::string& reason);

}  // namespace audio_chunk
}  // namespace kelvane

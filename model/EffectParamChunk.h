#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

class Project;

// The effect parameter values that events and template slots keep, stored in the project file as
// a skip chunk (tag 0) whose body begins with "KFXP", so that readers without effect parameters
// pass over it:
//   "KFXP", uint32 version 1, uint32 record count, then per record: uint32 kind (0 track event,
//   1 template slot), uint32 track or slot, uint32 event index (0 for a slot), uint32 value
//   count, then per value: uint32 parameter index, uint32 type and the value (float64 for numbers
//   and on/off, 3 x float64 for colours, 2 x float64 for positions, uint32 byte length and the
//   UTF-8 bytes for texts).
namespace effect_param_chunk {

constexpr uint8_t kName[4] = {'K', 'F', 'X', 'P'};

// The whole skip chunk (tag, size, body) for the project's stored values, appended to `out`;
// nothing when no event and no slot keeps any. False when the chunk would not fit its size field.
bool Append(const Project& project, std::vector<uint8_t>& out);

// True when a skip chunk's body is ours.
bool IsOurs(const uint8_t* body, size_t size);

// Applies a chunk body (from "KFXP" on) to a project whose tracks and templates were read. False,
// with the reason and the project's values untouched, for a malformed chunk: a wrong version, a
// record beyond the body, an event or slot that does not exist, a value of unknown type, a number
// that is not finite, a text that is not UTF-8, a second record for the same event, or bytes left
// over.
bool Apply(const uint8_t* body, size_t size, Project& project, std::string& reason);

}  // namespace effect_param_chunk

}  // namespace kelvane

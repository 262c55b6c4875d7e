#pragma once

#include <cstddef>
#include <cstdint>

#include "model/TrackEvent.h"
#include "platform/LogFont.h"
#include "platform/Path.h"

// Tags, versions and sizes of the project file, shared by its reader and writer.
namespace kelvane::project_file {

constexpr uint8_t kMagic[4] = {'M', 'P', 'R', 'J'};

enum Tag : uint32_t {
    kTagSkip = 0,
    kTagVersion = 1,
    kTagEnd = 2,
    kTagSettings = 3,
    kTagFile = 4,
    kTagTrack = 5,
    kTagTemplate = 6,
};

constexpr uint32_t kVersion10 = 0x00010000;
constexpr uint32_t kVersion11 = 0x00010001;
constexpr uint32_t kVersion20 = 0x00020000;

constexpr size_t kPathBytes = kPathUnits * sizeof(char16_t);  // 520
constexpr size_t kRecordBytes = sizeof(TrackEvent);           // 152, in every version
constexpr size_t kFontBytes = sizeof(LogFont);                // 92

// Bytes of the text block for a text of n code units: the units, a terminator and, when n is
// even, one padding unit, so the block is a multiple of 4.
constexpr uint64_t TextBlockBytes(uint64_t n) {
    return 4 * (2 * n / 4) + 4;
}

// The largest output size that the project dialog accepts; a file with a larger or empty size is
// not one this program wrote.
constexpr uint32_t kMaxFrameSide = 4096;

}  // namespace kelvane::project_file

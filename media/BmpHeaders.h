#pragma once

#include <cstddef>
#include <cstdint>

#include "media/PictureBitmap.h"

namespace kelvane {

constexpr size_t kBmpFileHeaderBytes = 14;
// The most of the headers and colour table read from a file: a version 5 header, its masks and a
// full table fit many times over; a header that claims more is not a picture we read.
constexpr size_t kBmpMaxHeadBytes = 65536;

// Checks the file header at the start of `head` (the first `headBytes` bytes of a file of
// `fileSize` bytes, at least up to the pixel offset or kBmpMaxHeadBytes), reads the information
// block into `out` and sets out.pixelBytes. False unless the file is a "BM" file whose pixel rows
// lie wholly inside it.
bool ParseBmpHeaders(const uint8_t* head, size_t headBytes, uint64_t fileSize, PictureBitmap& out,
                     uint32_t& pixelOffset);

// The pixel offset stored in a file header of at least kBmpFileHeaderBytes.
uint32_t BmpPixelOffset(const uint8_t* head);

}  // namespace kelvane

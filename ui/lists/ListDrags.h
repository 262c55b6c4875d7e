#pragma once

#include <cstdint>

class QMimeData;

namespace kelvane {

// What a drag from the file list carries: the entry's file ID under the private type.
QMimeData* fileEntryMime(uint32_t fileId);
// What a drag from the template list carries: the slot number under the private type.
QMimeData* templateSlotMime(uint32_t slot);

// The file ID a drag carries, -1 when it carries none or a malformed one.
int32_t fileEntryOf(const QMimeData* data);

}  // namespace kelvane

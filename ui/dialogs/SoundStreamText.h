#pragma once

#include <QString>

namespace kelvane {

struct FileEntry;

// The file dialog's line about a loaded entry's sound: "音声: aac, 2 ch, 48000 Hz" for a movie or
// audio-only file (its stream as stored), "音声: なし" for a movie without one, and for a nested
// project its own mix ("音声: プロジェクトの音, 2 ch, 48000 Hz") or "音声: なし". Empty for the
// kinds that never sound (pictures, texts, effects) and for an empty slot.
QString soundStreamText(const FileEntry& entry);

}  // namespace kelvane

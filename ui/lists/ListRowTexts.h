#pragma once

#include <QString>

#include "model/Project.h"

namespace kelvane {

// The row of file slot `id` in the file list: " ID:0005 画像          \pic.bmp" (a file with sound
// adds "音声" and how long it lasts before the name), the text itself
// for a text entry, " ID:0005 不明" for a kind the program does not know. Line breaks of a text
// become spaces: a row is one line.
QString fileRowText(const Project& project, uint32_t id);

// The row of template slot `slot`: its key (a space for slots without one), then " 未設定" or the
// file ID and kind, with the start position and speed for movies and nested projects.
QString templateRowText(const Project& project, uint32_t slot, char16_t key);

}  // namespace kelvane

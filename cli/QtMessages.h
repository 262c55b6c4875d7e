#pragma once

namespace kelvane::cli {

// Keeps Qt's note about a missing XDG_RUNTIME_DIR off stderr: the tool runs without a session
// on purpose (build machines, services), and the note would come with every run. Every other
// message of Qt passes.
void QuietQtSessionNotes();

}  // namespace kelvane::cli

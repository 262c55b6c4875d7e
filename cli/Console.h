#pragma once

#include <string>

namespace kelvane::cli {

// stderr, shared by the messages and the progress line: a message never lands in the middle of
// a progress line that is being updated in place.

// Writes a whole message (its own line end included), ending an open progress line first.
void ConsoleMessage(const std::string& text);
// inPlace: the line replaces the one shown (a terminal) and stays open; otherwise a line of its
// own.
void ConsoleProgress(const std::string& line, bool inPlace);
// Ends a progress line that stands open.
void ConsoleEndProgress();

}  // namespace kelvane::cli

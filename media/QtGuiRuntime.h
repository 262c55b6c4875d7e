#pragma once

namespace kelvane {

// Fonts and text drawing need a QGuiApplication. The program's user interface makes its own;
// the command-line tool and the tests have none, so one is made on first use, on the offscreen
// platform when no display is available. Call on the thread that owns the application (the
// user-interface thread). False when the process holds a plain QCoreApplication.
bool EnsureGuiApplication();

// Destroys the application that EnsureGuiApplication made, if it made one. Call it before main
// returns: destroyed any later, Qt's font caches are already gone and their fonts leak.
void ReleaseGuiApplication();

}  // namespace kelvane

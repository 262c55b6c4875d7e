#pragma once

namespace kelvane {

// Fonts and text drawing need a QGuiApplication. The program's user interface makes its own;
// the command-line tool and the tests have none, so one is made on first use, on the offscreen
// platform when no display is available. Call on the thread that owns the application (the
// user-interface thread). False when the process holds a plain QCoreApplication or the
// platform cannot be started.
bool EnsureGuiApplication();

}  // namespace kelvane

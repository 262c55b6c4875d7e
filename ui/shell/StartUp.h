#pragma once

// The program "kelvane [PROJECT.xqm]": brings the process up as the command-line tool does,
// shows the window with the named project or a new one, and writes the settings back at exit.
// 0 after a normal exit, 1 when the named project cannot be read.
int runKelvane(int argc, char** argv);

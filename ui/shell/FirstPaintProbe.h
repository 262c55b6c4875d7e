#pragma once

class QWidget;

// For the start-up benchmark: with KELVANE_FIRST_PAINT set in the environment, the program
// writes "first-paint <ns>" to standard output once the main window has been painted for the
// first time, the time being the monotonic clock in nanoseconds (comparable with the clock of
// the process that started it). With the value "exit" the program then ends as after exit.
void watchFirstPaint(QWidget* window);

#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// Where a one-frame render spends its time, for the start-up benchmark. Off unless the
// environment variable KELVANE_STEP_TIMES is set when the process starts; off, a timer costs one
// test of a flag. Set to a number above 1, it is the CLOCK_MONOTONIC time in nanoseconds at which
// the caller started the process, and the time until main is reported as "process start".
enum class Step : uint8_t {
    ProcessStart,  // from the launch to main (the loader mapping and relocating the libraries)
    PlugIns,       // loading the picture plug-ins
    Settings,      // reading the INI file
    EngineSetup,   // pixel tables and drawing workers
    ProjectRead,   // the project file, with the media it opens
    MovieOpen,     // opening a movie and probing its streams (inside the project read or a frame)
    Seek,          // repositioning a movie before the frame asked for
    Decode,        // decoding movie pictures
    Convert,       // converting decoded pictures to our pixels
    Compose,       // the frame's composition, movie fetches included
    BmpWrite,      // writing the frame as a BMP file
    Shutdown,      // releasing the project, the workers and the plug-ins
    kCount
};

bool StepTimesOn();
// Adds `ns` to the step; safe from any thread.
void AddStepTime(Step step, int64_t ns);
// Records that main has been entered: with a launch time given, "process start" is the time up to
// this call.
void MarkMainEntered();
// One line per step that was timed: its name, milliseconds and how many spans it summed.
std::string FormatStepTimes();

// Times the scope it lives in as `step`.
class StepTimer {
  public:
    explicit StepTimer(Step step);
    ~StepTimer();
    StepTimer(const StepTimer&) = delete;
    StepTimer& operator=(const StepTimer&) = delete;

  private:
    Step step_;
    int64_t begin_ = 0;  // 0 when off
};

}  // namespace kelvane

#pragma once

#include "app/ProcessState.h"

namespace kelvane {

// The process state with the render engine wired in: the sampling matrix and pixel tables built,
// the process-wide drawing pool started with "DrawFrameThread" workers and restarted by the
// presets, and the picture plug-ins handed to the media layer. The GUI and the command-line tool
// both run through it.
class EngineProcess {
  public:
    explicit EngineProcess(ProcessOptions options);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    void Start();
    bool Shutdown();

    ProcessState& State() { return state_; }

  private:
    ProcessState state_;
    bool running_ = false;
};

}  // namespace kelvane

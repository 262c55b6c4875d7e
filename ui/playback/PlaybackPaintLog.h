#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

// When the environment names a file in KELVANE_PLAYBACK_LOG, each frame of a playback painted in
// the preview pane is appended to it as a line "paint FRAME SECONDS", and each start as "start
// FRAME SECONDS", SECONDS being the machine's monotonic clock (CLOCK_MONOTONIC) when the pane had
// drawn it. Lines are written whole, so that a reader polling the file sees complete ones: what a
// test compares with the sound it records, and the benchmark with its own measurements.
class PlaybackPaintLog {
  public:
    // The log the environment asks for; null when it asks for none or the file cannot be opened.
    static std::unique_ptr<PlaybackPaintLog> FromEnvironment();

    ~PlaybackPaintLog();
    void started(uint32_t frame);
    void painted(uint32_t frame);

  private:
    explicit PlaybackPaintLog(std::FILE* file) : file_(file) {}
    void write(const char* what, uint32_t frame);

    std::FILE* file_;
};

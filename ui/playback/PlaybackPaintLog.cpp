#include "ui/playback/PlaybackPaintLog.h"

#include <chrono>
#include <cstdlib>

std::unique_ptr<PlaybackPaintLog> PlaybackPaintLog::FromEnvironment() {
    const char* path = std::getenv("KELVANE_PLAYBACK_LOG");
    if (path == nullptr || *path == '\0') {
        return nullptr;
    }
    std::FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<PlaybackPaintLog>(new PlaybackPaintLog(file));
}

PlaybackPaintLog::~PlaybackPaintLog() {
    std::fclose(file_);
}

void PlaybackPaintLog::started(uint32_t frame) {
    write("start", frame);
}

void PlaybackPaintLog::painted(uint32_t frame) {
    write("paint", frame);
}

void PlaybackPaintLog::write(const char* what, uint32_t frame) {
    // steady_clock is CLOCK_MONOTONIC here, the clock other programs read as "monotonic".
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(now).count();
    std::fprintf(file_, "%s %u %.6f\n", what, frame, seconds);
    std::fflush(file_);
}

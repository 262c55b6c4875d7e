#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "export/ExportDriver.h"

namespace kelvane::cli {

// The export's progress on stderr: on a terminal one line updated in place at every timer tick,
// otherwise (a log, a pipe) one line every few seconds and one at the end. The line carries the
// values of the progress window's text: frames written, position, percentage, elapsed and
// estimated remaining time.
class ProgressReport {
  public:
    static constexpr std::chrono::seconds kLogPeriod{5};

    // `job` tells how many frames were written when the run ends.
    ProgressReport(const ExportJob& job, uint32_t length, RefTime frameDuration, bool onTerminal);

    void OnTick(const ExportTick& tick);

    // The progress text made into one line, "フレーム n/length" in front.
    static std::string Line(uint32_t n, uint32_t length, const std::string& progressText);

  private:
    void Show(uint32_t n, const std::string& progressText);

    const ExportJob& job_;
    uint32_t length_;
    RefTime frameDuration_;
    bool onTerminal_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point nextLog_;
    uint32_t lastShown_ = UINT32_MAX;
};

}  // namespace kelvane::cli

#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kelvane {

// Where one frame of an export spent its time, and on which thread: the thread that composes
// (and waits for the writer before it hands the next frame over) and the thread that converts,
// encodes and writes.
enum class ExportStage : uint8_t { Compose, WaitForWriter, Encode, Write };

struct ExportSpan {
    uint32_t frame = 0;
    ExportStage stage = ExportStage::Compose;
    int64_t beginNs = 0;  // steady clock
    int64_t endNs = 0;
};

// The spans of one export, for the benchmark that shows where each core spends its time. The
// room is reserved up front, so recording allocates nothing; spans past it are dropped.
class ExportTimeline {
  public:
    explicit ExportTimeline(size_t capacity) { spans_.reserve(capacity); }

    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void Add(uint32_t frame, ExportStage stage, int64_t beginNs, int64_t endNs);
    std::vector<ExportSpan> Spans() const;

    // One line per frame: the milliseconds since the first span at which each stage began and
    // how long it took, then per thread the share of the whole run it was busy.
    std::string Format() const;

  private:
    mutable std::mutex lock_;
    std::vector<ExportSpan> spans_;
};

}  // namespace kelvane

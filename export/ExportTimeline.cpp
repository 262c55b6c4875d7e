#include "export/ExportTimeline.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace kelvane {

void ExportTimeline::Add(uint32_t frame, ExportStage stage, int64_t beginNs, int64_t endNs) {
    std::lock_guard<std::mutex> guard(lock_);
    if (spans_.size() < spans_.capacity()) {
        spans_.push_back(ExportSpan{frame, stage, beginNs, endNs});
    }
}

std::vector<ExportSpan> ExportTimeline::Spans() const {
    std::lock_guard<std::mutex> guard(lock_);
    return spans_;
}

std::string ExportTimeline::Format() const {
    const std::vector<ExportSpan> spans = Spans();
    if (spans.empty()) {
        return "(no frames)\n";
    }
    int64_t origin = spans.front().beginNs;
    int64_t end = spans.front().endNs;
    for (const ExportSpan& s : spans) {
        origin = std::min(origin, s.beginNs);
        end = std::max(end, s.endNs);
    }
    constexpr int kStages = 4;
    struct Row {
        double at[kStages] = {-1, -1, -1, -1};
        double ms[kStages] = {0, 0, 0, 0};
    };
    std::map<uint32_t, Row> rows;
    double busy[kStages] = {0, 0, 0, 0};
    for (const ExportSpan& s : spans) {
        const int k = int(s.stage);
        Row& row = rows[s.frame];
        const double at = double(s.beginNs - origin) / 1e6;
        const double ms = double(s.endNs - s.beginNs) / 1e6;
        row.at[k] = row.at[k] < 0 ? at : std::min(row.at[k], at);
        row.ms[k] += ms;
        busy[k] += ms;
    }
    std::string text =
        "          composing thread                     | writing thread\n"
        " frame    compose at   ms     wait at    ms   |  encode at   ms     write at    ms\n";
    char line[160];
    for (const auto& [frame, row] : rows) {
        std::snprintf(line, sizeof line,
                      "%6u  %9.1f %6.1f  %9.1f %6.1f   | %9.1f %6.1f  %9.1f %6.1f\n", frame,
                      row.at[0], row.ms[0], row.at[1], row.ms[1], row.at[2], row.ms[2], row.at[3],
                      row.ms[3]);
        text += line;
    }
    const double total = double(end - origin) / 1e6;
    std::snprintf(line, sizeof line,
                  "whole run %.1f ms: composing thread busy %.0f %% (waiting %.0f %%), writing "
                  "thread busy %.0f %% (encode %.0f %%, write %.0f %%)\n",
                  total, 100 * busy[0] / total, 100 * busy[1] / total,
                  100 * (busy[2] + busy[3]) / total, 100 * busy[2] / total, 100 * busy[3] / total);
    text += line;
    return text;
}

}  // namespace kelvane

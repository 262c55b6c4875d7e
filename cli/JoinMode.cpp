#include "cli/JoinMode.h"

#include "cli/Console.h"
#include "export/AviJoin.h"

namespace kelvane::cli {

int RunJoinMode(const CliOptions& options) {
    AviJoinSummary summary;
    std::string error;
    if (!JoinAviParts(options.parts, options.output, summary, error)) {
        ConsoleMessage("kelvane-render: " + error + "\n");
        return kExitFailure;
    }
    ConsoleMessage("kelvane-render: " + std::to_string(options.parts.size()) + " 個のファイルの " +
                   std::to_string(summary.record.Frames()) + " フレーム (フレーム " +
                   std::to_string(summary.record.first) + "-" +
                   std::to_string(summary.record.last) + ") を " + options.output +
                   " につなぎました (" + std::to_string(summary.bytes) + " バイト)。\n");
    return kExitSuccess;
}

}  // namespace kelvane::cli

// FFmpeg linked as usual: its libraries are mapped at start.
#include "cli/on_demand/FfmpegOnDemand.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kelvane::cli {

void SetFfmpegLogLevel(int level) {
    av_log_set_level(level);
}

void KeepFfmpegLoaded() {}  // linked: never unloaded

}  // namespace kelvane::cli

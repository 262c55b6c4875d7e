#pragma once

namespace kelvane::cli {

// FFmpeg's log level for the whole process. kelvane-render may map FFmpeg's libraries only when a
// project first needs them: the level then takes effect as they are loaded, and at once when they
// are loaded already.
void SetFfmpegLogLevel(int level);

}  // namespace kelvane::cli

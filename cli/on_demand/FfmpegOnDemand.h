#pragma once

namespace kelvane::cli {

// FFmpeg's log level for the whole process. kelvane-render may map FFmpeg's libraries only when a
// project first needs them: the level then takes effect as they are loaded, and at once when they
// are loaded already.
void SetFfmpegLogLevel(int level);

// Keeps FFmpeg's libraries mapped to the end of the process if anything has loaded them: a picture
// plug-in that links them loads them without a call through this tool, and released with the
// plug-in they would be unloaded, orphaning what they allocated. Call before the plug-ins go.
void KeepFfmpegLoaded();

}  // namespace kelvane::cli

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/CliOptions.h"

namespace kelvane {
class ProcessState;
}

namespace kelvane::cli {

// Checks one --set KEY=VALUE against the thirteen keys of the INI section "Settings" (compared
// case-insensitively, as the INI file compares them): integer keys take a decimal 32-bit value,
// "DefaultEffectDll" a path of at most 259 units on one line. On success `out` holds the key
// as the INI file spells it. False with the reason in `error`.
bool ParseSettingOverride(std::string_view text, SettingOverride& out, std::string& error);

// Re-reads the settings of the started process with the overrides on top of its INI file, so
// that every value passes the same adjustments as at start-up, and restarts the drawing workers
// when "DrawFrameThread" changed. The INI file itself is left untouched. False when the merged
// values could not be prepared (nothing changed then).
bool ApplySettingOverrides(ProcessState& state, const std::vector<SettingOverride>& overrides);

}  // namespace kelvane::cli

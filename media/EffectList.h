#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "media/EffectPlugin.h"

namespace kelvane {

// What the effect list button shows: the module's records, opened for as long as the selection
// dialog is up. The dialog's window is the user interface's; the choices are made here.
struct EffectList {
    std::u16string modulePath;   // as typed, before resolution
    std::u16string currentName;  // after ">", empty without one
    std::vector<EffectInfo> records;
    EffectPlugin module;  // loaded without a selected effect
};

enum class EffectListStatus {
    Ok,
    LoadFailed,        // "効果の読み込みに失敗しました。"
    AllocationFailed,  // "メモリの割り当てに失敗しました。"
};

// The message for a failed status; empty for Ok.
std::u16string_view EffectListMessage(EffectListStatus status);

// Cuts the path field (at most 259 code units are read) at the first ">", resolves the module
// path against the project and enumerates the module's effects.
EffectListStatus OpenEffectList(std::u16string_view pathField, std::u16string_view basePath,
                                std::u16string_view projectFolder, EffectList& list);

// The entry selected when the dialog opens: the first, then the first whose name begins with
// the current name (case-insensitive); -1 for an empty list.
int32_t InitialEffectSelection(const std::vector<EffectInfo>& records,
                               std::u16string_view currentName);

// The description shown for a record: name, second text and description on three lines.
std::u16string EffectDescription(const EffectInfo& record);

// The path field written back on OK: the module path as typed, ">" and the chosen name.
std::u16string EffectPathWithName(std::u16string_view modulePath, std::u16string_view name);

}  // namespace kelvane

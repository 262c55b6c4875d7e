#pragma once

// The texts of the recovery of unsaved edits at start-up, UTF-8.
namespace kelvane::messages {

inline constexpr const char* kRecoveryQuestion =
    "前回の終了時に保存されていない変更があります。復元しますか？";
// The second line: a restored project starts a fresh undo history.
inline constexpr const char* kRecoveryNoHistory = "元に戻す操作の履歴は復元されません。";
inline constexpr const char* kRecoveryProject = "プロジェクト: ";
inline constexpr const char* kRecoveryNewProject = "新規プロジェクト";
inline constexpr const char* kRecoveryLastEdit = "最後の編集: ";
// Followed by a line with the path the journal was moved to.
inline constexpr const char* kRecoveryUnreadable =
    "保存されていない変更の記録を読み込めないため、次の場所に移しました。";

}  // namespace kelvane::messages

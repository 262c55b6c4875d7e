#pragma once

namespace kelvane {

// The export's messages to the user, shown with the caption "エラー".
inline constexpr const char* kExportCannotOpenFile = "ファイルが開けません。";
inline constexpr const char* kExportStopped = "エラーまたはキャンセル操作によって中断されました。";
inline constexpr const char* kExportThreadFailed = "スレッドの作成に失敗しました。";

}  // namespace kelvane

#pragma once

namespace kelvane::messages {

// The document's texts as the user sees them, UTF-8.
inline constexpr const char* kLoadFailed = "読み込みに失敗しました。";
inline constexpr const char* kSaveFailed = "保存に失敗しました。";
inline constexpr const char* kCheckpointFailed =
    "メモリの割り当てに失敗しました。この操作は元に戻せません。";
inline constexpr const char* kMemoryLost =
    "メモリの割り当てに失敗しました。作業中のデータが失われた可能性があります。";
inline constexpr const char* kFrameRateChanged =
    "フレームレートが変更されています。イベントを修正しますか？";
inline constexpr const char* kLengthLimited = "動画の長さは最大で%uフレームに制限されます。";
inline constexpr const char* kTooManyFiles = "ファイルが多すぎます。";
inline constexpr const char* kFileLoadFailed = "ファイル\"%s\"の読み込みに失敗しました。";
inline constexpr const char* kIdInUse = "指定したIDはすでに使用されています。";
inline constexpr const char* kTextFailed = "テキストの作成に失敗しました。";
inline constexpr const char* kDuplicateFailed = "ファイルの複製に失敗しました。";
inline constexpr const char* kNothingToErase = "消去できるデータがありません。";
inline constexpr const char* kNothingToCopy = "コピーできるデータがありません。";

}  // namespace kelvane::messages

#include "platform/SystemErrorText.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace kelvane {

namespace {

// Whether the folder that would hold `path` exists; true when it cannot be told.
bool FolderExists(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos || slash == 0) {
        return true;
    }
    struct stat info {};
    return ::stat(std::string(path.substr(0, slash)).c_str(), &info) == 0;
}

}  // namespace

std::string SystemErrorText(int errorNumber, std::string_view path) {
    switch (errorNumber) {
        case ENOENT:
            return FolderExists(path) ? "ファイルが見つかりません。"
                                      : "フォルダーが見つかりません。";
        case EACCES:
        case EPERM:
            return "アクセスが拒否されました。";
        case EROFS:
            return "読み取り専用のファイルシステムです。";
        case ENOSPC:
            return "ディスクに空き領域がありません。";
        case EDQUOT:
            return "ディスクの使用量の上限を超えました。";
        case EFBIG:
            return "ファイルの大きさが上限を超えました。";
        case EIO:
            return "デバイスの入出力エラーが発生しました。";
        case ENODEV:
        case ENXIO:
            return "デバイスが見つかりません。";
        case EISDIR:
            return "ファイルではなくフォルダーです。";
        case ENOTDIR:
            return "パスの途中にフォルダーでないものがあります。";
        case ENAMETOOLONG:
            return "パスが長すぎます。";
        case EMFILE:
        case ENFILE:
            return "開いているファイルが多すぎます。";
        case ENOMEM:
            return "メモリが不足しています。";
        case EBUSY:
        case ETXTBSY:
            return "ファイルは使用中です。";
        default:
            break;
    }
    // Anything rarer keeps the system's own words, with the number to look up.
    return "システムエラー " + std::to_string(errorNumber) + " (" + std::strerror(errorNumber) +
           ")。";
}

}  // namespace kelvane

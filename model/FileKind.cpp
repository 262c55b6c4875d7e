#include "model/FileKind.h"

namespace kelvane {

const char* FileKindName(FileKind kind) {
    switch (kind) {
        case FileKind::Movie:
            return "動画";
        case FileKind::Image:
            return "画像";
        case FileKind::Text:
            return "テキスト";
        case FileKind::Effect:
            return "効果";
        case FileKind::Project:
            return "プロジェクト";
        default:
            return "不明";
    }
}

}  // namespace kelvane

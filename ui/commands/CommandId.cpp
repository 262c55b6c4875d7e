#include "ui/commands/CommandId.h"

QString commandPrompt(CommandId id) {
    switch (id) {
        case CommandId::ExportAvi:
            return QStringLiteral("AVIファイルの作成");
        case CommandId::SavePreviewImage:
            return QStringLiteral("プレビュー画像を保存");
        case CommandId::Properties:
            return QStringLiteral("プロパティ");
        case CommandId::AddFile:
            return QStringLiteral("ファイルの追加");
        case CommandId::DuplicateFile:
            return QStringLiteral("ファイルの複製");
        case CommandId::ProjectSettings:
            return QStringLiteral("プロジェクトの設定");
        case CommandId::PreviewToggle:
            return QStringLiteral("プレビュー表示");
        case CommandId::AllTracks:
            return QStringLiteral("全トラック表示");
        case CommandId::ZoomIn:
            return QStringLiteral("拡大");
        case CommandId::ZoomOut:
            return QStringLiteral("縮小");
        case CommandId::AutoExtend:
            return QStringLiteral("自動拡張");
        case CommandId::ScaleMarks:
            return QStringLiteral("目盛りの設定");
        case CommandId::PresetDefault:
            return QStringLiteral("既定の設定");
        case CommandId::PresetSpeed:
            return QStringLiteral("処理速度優先");
        case CommandId::PresetStability:
            return QStringLiteral("安定性優先");
        case CommandId::KeepAspect:
            return QStringLiteral("縦横比を保持");
        case CommandId::PlaceOnTimeline:
            return QStringLiteral("タイムラインに配置");
        case CommandId::GoToFrame:
            return QStringLiteral("移動");
        default:
            return {};
    }
}

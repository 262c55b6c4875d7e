#include "ui/frame/MenuTable.h"

namespace {

MenuEntry item(CommandId id, const char* text, const char* shownKey = "") {
    return MenuEntry{false, id, QString::fromUtf8(text), QString::fromUtf8(shownKey)};
}

MenuEntry separator() {
    return MenuEntry{true, CommandId{}, {}, {}};
}

}  // namespace

const std::vector<MenuSpec>& menuTable() {
    static const std::vector<MenuSpec> table = {
        {QStringLiteral("ファイル(&F)"),
         {item(CommandId::FileNew, "新規作成(&N)", "Ctrl+N"),
          item(CommandId::FileOpen, "開く(&O)...", "Ctrl+O"),
          item(CommandId::FileSave, "上書き保存(&S)", "Ctrl+S"),
          item(CommandId::FileSaveAs, "名前を付けて保存(&A)..."), separator(),
          item(CommandId::ExportAvi, "AVIファイルの作成(&V)..."),
          item(CommandId::ProjectSettings, "プロジェクトの設定(&P)..."), separator(),
          item(CommandId::RecentFile, "最近使ったファイル"), separator(),
          item(CommandId::AppExit, "アプリケーションの終了(&X)")}},
        {QStringLiteral("編集(&E)"),
         {item(CommandId::Properties, "プロパティ(&S)...", "Enter"),
          item(CommandId::AddFile, "ファイルの追加(&N)..."),
          item(CommandId::DuplicateFile, "ファイルの複製(&X)"), separator(),
          item(CommandId::EditUndo, "元に戻す(&U)", "Ctrl+Z"),
          item(CommandId::EditRedo, "やり直し(&R)", "Ctrl+Y"), separator(),
          item(CommandId::EditCut, "切り取り(&T)", "Ctrl+X"),
          item(CommandId::EditCopy, "コピー(&C)", "Ctrl+C"),
          item(CommandId::EditPaste, "貼り付け(&P)", "Ctrl+V"),
          item(CommandId::EditClear, "消去(&D)", "Delete"), separator(),
          item(CommandId::EditSelectAll, "すべて選択(&A)", "Ctrl+A"), separator(),
          item(CommandId::SavePreviewImage, "プレビュー画像を保存(&I)...")}},
        {QStringLiteral("表示(&V)"),
         {item(CommandId::PreviewToggle, "プレビュー表示(&V)"),
          item(CommandId::AllTracks, "全トラック表示(&A)", "Esc"),
          item(CommandId::ZoomIn, "拡大(&I)", "I"), item(CommandId::ZoomOut, "縮小(&O)", "O"),
          item(CommandId::AutoExtend, "自動拡張(&E)"),
          item(CommandId::ScaleMarks, "目盛りの設定(&M)..."),
          item(CommandId::PlayStop, "再生(&L)", "Space"),
          item(CommandId::GoToFrame, "移動(&G)...", "Ctrl+G"), separator(),
          item(CommandId::ViewToolBar, "ツール バー(&T)"),
          item(CommandId::ViewStatusBar, "ステータス バー(&S)"),
          item(CommandId::WindowSplit, "分割(&P)")}},
        {QStringLiteral("設定(&S)"),
         {item(CommandId::PresetDefault, "既定の設定(&D)..."),
          item(CommandId::PresetSpeed, "処理速度優先(&P)..."),
          item(CommandId::PresetStability, "安定性優先(&S)...")}},
        {QStringLiteral("ヘルプ(&H)"), {item(CommandId::AppAbout, "バージョン情報(&A)...")}},
    };
    return table;
}

const std::vector<MenuEntry>& toolbarTable() {
    static const std::vector<MenuEntry> table = {
        item(CommandId::FileNew, ""),   item(CommandId::FileOpen, ""),
        item(CommandId::FileSave, ""),  separator(),
        item(CommandId::EditCut, ""),   item(CommandId::EditCopy, ""),
        item(CommandId::EditPaste, ""), separator(),
        item(CommandId::FilePrint, ""), item(CommandId::AppAbout, ""),
        item(CommandId::PlayStop, ""),
    };
    return table;
}

QList<QKeySequence> acceleratorsFor(CommandId id) {
    switch (id) {
        case CommandId::AllTracks:
            return {QKeySequence(Qt::Key_Escape)};
        case CommandId::EditClear:
            return {QKeySequence(Qt::Key_Delete)};
        case CommandId::EditCopy:
            return {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
        case CommandId::EditCut:
            return {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
        case CommandId::EditPaste:
            return {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
        case CommandId::EditSelectAll:
            return {QKeySequence(Qt::CTRL | Qt::Key_A)};
        case CommandId::EditUndo:
            return {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)};
        case CommandId::EditRedo:
            return {QKeySequence(Qt::CTRL | Qt::Key_Y)};
        case CommandId::FileNew:
            return {QKeySequence(Qt::CTRL | Qt::Key_N)};
        case CommandId::FileOpen:
            return {QKeySequence(Qt::CTRL | Qt::Key_O)};
        case CommandId::FileSave:
            return {QKeySequence(Qt::CTRL | Qt::Key_S)};
        case CommandId::GoToFrame:
            return {QKeySequence(Qt::CTRL | Qt::Key_G)};
        case CommandId::NextPane:
            return {QKeySequence(Qt::Key_F6)};
        case CommandId::PreviousPane:
            return {QKeySequence(Qt::SHIFT | Qt::Key_F6)};
        case CommandId::Properties:
            // The main keyboard's Return and the keypad's Enter are one key to the user.
            return {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
        case CommandId::ZoomIn:
            return {QKeySequence(Qt::Key_I)};
        case CommandId::ZoomOut:
            return {QKeySequence(Qt::Key_O)};
        default:
            return {};
    }
}

namespace {

CommandTexts texts(const char* statusTip, const char* name) {
    return CommandTexts{QString::fromUtf8(statusTip), QString::fromUtf8(name)};
}

}  // namespace

CommandTexts commandTexts(CommandId id) {
    const QString own = commandPrompt(id);
    if (!own.isEmpty()) {
        return CommandTexts{own, own};
    }
    if (recentFileIndex(id) >= 0) {
        return texts("指定のプロジェクトを開きます", "プロジェクトを開く");
    }
    switch (id) {
        case CommandId::FileNew:
            return texts("新規にプロジェクトを作成します", "新規作成");
        case CommandId::FileOpen:
            return texts("既存のプロジェクトを開きます", "開く");
        case CommandId::FileSave:
            return texts("開いているプロジェクトを上書きして保存します", "上書き保存");
        case CommandId::FileSaveAs:
            return texts("プロジェクトに名前を付けて保存します", "名前を付けて保存");
        case CommandId::FilePrint:
            return texts("プロジェクトを印刷します", "印刷");
        case CommandId::AppExit:
            return texts("アプリケーションを終了し、プロジェクトの保存を確認します", "終了");
        case CommandId::EditUndo:
            return texts("直前に行った操作を元に戻します", "元に戻す");
        case CommandId::EditRedo:
            return texts("直前に元に戻した操作をやり直します", "やり直し");
        case CommandId::EditCut:
            return texts("選択範囲を切り取ってクリップボードに移動します", "切り取り");
        case CommandId::EditCopy:
            return texts("選択範囲をコピーしてクリップボードに保存します", "コピー");
        case CommandId::EditPaste:
            return texts("クリップボードの内容を貼り付けます", "貼り付け");
        case CommandId::EditClear:
            return texts("選択範囲を消去します", "消去");
        case CommandId::EditSelectAll:
            return texts("すべてを選択します", "すべて選択");
        case CommandId::ViewToolBar:
            return texts("ツール バーの表示/非表示を切り替えます", "ツール バーの表示切り替え");
        case CommandId::ViewStatusBar:
            return texts("ステータス バーの表示/非表示を切り替えます",
                         "ステータス バーの表示切り替え");
        case CommandId::WindowSplit:
            return texts("分割バーをキーボードで移動します", "分割");
        case CommandId::NextPane:
            return texts("次のペインに切り替えます", "次のペイン");
        case CommandId::PreviousPane:
            return texts("前のペインに切り替えます", "前のペイン");
        case CommandId::AppAbout:
            return texts("プログラムの情報とバージョンを表示します", "バージョン情報");
        case CommandId::PlayStop:
            return texts("プレビューで再生します。再生中は停止します", "再生/停止");
        default:
            return {};
    }
}

#pragma once

#include <QString>

// The window's commands, numbered as the menus, accelerators and toolbar know them.
enum class CommandId : int {
    FileNew = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrint = 57607,
    RecentFile = 57616,  // the first of the four entries of the recent-file list
    RecentFile2 = 57617,
    RecentFile3 = 57618,
    RecentFile4 = 57619,
    AppExit = 57665,
    ExportAvi = 32772,
    SavePreviewImage = 32773,
    Properties = 32774,
    AddFile = 32775,
    DuplicateFile = 32776,
    ProjectSettings = 32777,
    PreviewToggle = 32778,
    AllTracks = 32779,
    ZoomIn = 32780,
    ZoomOut = 32781,
    AutoExtend = 32782,
    ScaleMarks = 32783,
    PresetDefault = 32784,
    PresetSpeed = 32785,
    PresetStability = 32786,
    PlayStop = 32787,
    KeepAspect = 32796,       // the preview pane's "縦横比を保持"
    PlaceOnTimeline = 32797,  // the file list's "タイムラインに配置"
    GoToFrame = 32798,        // "移動": the timeline's cursor to a time or a frame
    EditUndo = 57643,
    EditRedo = 57644,
    EditCut = 57635,
    EditCopy = 57634,
    EditPaste = 57637,
    EditClear = 57632,
    EditSelectAll = 57642,
    ViewToolBar = 59392,
    ViewStatusBar = 59393,
    WindowSplit = 57653,
    NextPane = 57680,
    PreviousPane = 57681,
    AppAbout = 57664,
};

// The command's name as the status bar and the tool tip show it; empty for commands without one.
QString commandPrompt(CommandId id);

// The recent-file entry of a command (0 to 3), or -1 for any other command.
inline int recentFileIndex(CommandId id) {
    const int index = int(id) - int(CommandId::RecentFile);
    return index >= 0 && index < 4 ? index : -1;
}

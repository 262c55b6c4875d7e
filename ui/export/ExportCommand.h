#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "model/Document.h"

class QWidget;

namespace kelvane {

class CompressorChooser;
class ProfileFile;

// "AVIファイルの作成": Qt's own save dialog with the kinds of file we write, the compressor
// chooser "ビデオの圧縮" with the video and audio codecs of the chosen kind (the last choice per
// kind remembered in the INI file), then the progress dialog until the last frame, "中断" or an
// error; the end is reported as the export reports it, a success in the status bar. True when every
// frame was written.
bool exportAvi(QWidget* parent, Document& doc, ProfileFile& profile);

// The steps after the save dialog, for a path and a chooser given by the caller (the tests and
// the benchmark); the path's extension tells the kind of file, the chooser the sound's codec.
// `showPreview` sets "現在の画像を表示する" as the dialog opens. On success the status bar of the
// parent's main window shows exportDoneText for ten seconds. `range`, when given, limits the file
// to those frames of the project, as "--frames" does.
struct ExportRange {
    uint32_t first = 0;
    uint32_t length = 0;
};
bool exportAviTo(QWidget* parent, Document& doc, const QString& path, CompressorChooser& chooser,
                 bool showPreview = true, std::optional<ExportRange> range = std::nullopt);

// The frames of the timeline's selection in `parent`'s window, within the project; none when
// nothing is selected.
std::optional<ExportRange> timelineSelection(QWidget* parent, const Document& doc);

// The save dialog: one filter per kind of file ("AVI ファイル (*.avi)", "MP4 ファイル (*.mp4)",
// ...), starting with the project's name and the kind chosen last (INI "AviExport"/"FileType")
// in the folder of the last export ("AviExport"/"Folder") or else the project's; the chosen
// filter's extension is added, overwriting asked. Empty on cancel.
// With `selectionOnly`, the dialog also offers "選択範囲のみ" and tells whether it was checked.
QString askExportPath(QWidget* parent, const Document& doc, ProfileFile& profile,
                      bool* selectionOnly = nullptr);

// "作成しました: PATH (N フレーム, M 秒)", M the length of the written video.
QString exportDoneText(const QString& path, uint32_t frames, double frameRate);

}  // namespace kelvane

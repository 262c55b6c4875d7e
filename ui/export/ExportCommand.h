#pragma once

#include <QString>

#include "model/Document.h"

class QWidget;

namespace kelvane {

class CompressorChooser;
class ProfileFile;

// "AVIファイルの作成": Qt's own save dialog, the compressor chooser "ビデオの圧縮" (the last
// choice remembered in the INI file), then the progress dialog until the last frame, "中断" or an
// error; the end is reported as the export reports it. True when every frame was written.
bool exportAvi(QWidget* parent, Document& doc, ProfileFile& profile);

// The steps after the save dialog, for a path and a chooser given by the caller (the tests and
// the benchmark). `showPreview` sets "現在の画像を表示する" as the dialog opens.
bool exportAviTo(QWidget* parent, Document& doc, const QString& path, CompressorChooser& chooser,
                 bool showPreview = true);

// The save dialog: "AVIファイル (*.avi)", ".avi" added, overwriting asked. Empty on cancel.
QString askExportPath(QWidget* parent);

}  // namespace kelvane

#include "ui/export/ExportCommand.h"

#include <QCheckBox>
#include <QFileDialog>

#include "export/AviPartRecord.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ExportMessages.h"
#include "export/ProjectFrameComposer.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"
#include "ui/dialogs/DialogControls.h"
#include "ui/export/CompressorDialog.h"
#include "ui/export/ExportProgressDialog.h"

namespace kelvane {

namespace {

// "イベント描画時にエラーが発生した場合は中断する" is kept for the open project from one export to
// the next and starts off for every project that is made or opened (a new Project object).
struct AbortOnDrawErrorChoice {
    const Project* project = nullptr;
    bool on = false;
};

AbortOnDrawErrorChoice& abortChoice() {
    static AbortOnDrawErrorChoice choice;
    return choice;
}

}  // namespace

QString askExportPath(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("名前を付けて保存"), QString(),
                       QStringLiteral("AVIファイル (*.avi)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("avi"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

bool exportAvi(QWidget* parent, Document& doc, ProfileFile& profile) {
    // The preview pane draws afresh after the export.
    doc.Views().preview = PreviewRequest{};
    doc.Views().preview.pending = true;
    const QString path = askExportPath(parent);
    if (path.isEmpty()) {
        return false;
    }
    DialogCompressorChooser chooser(parent, profile);
    return exportAviTo(parent, doc, path, chooser);
}

bool exportAviTo(QWidget* parent, Document& doc, const QString& path, CompressorChooser& chooser,
                 bool showPreview) {
    // The export composes and keeps its run-time state with the project; it edits nothing.
    Project& project = doc.ProjectForRendering();
    ExportJob job;
    // The abort-on-draw-error choice stays with the project from one export to the next.
    AbortOnDrawErrorChoice& choice = abortChoice();
    if (choice.project != &project) {
        choice = AbortOnDrawErrorChoice{&project, false};
    }
    job.abortOnDrawError = choice.on;
    if (!job.writer.ChooseCompressor(chooser)) {
        return false;  // cancelled: no file, no message
    }
    const ExportSettings settings = ExportSettingsOf(project);
    // A saved, unchanged project is what the file holds: record it as the command line does, so
    // that the file can be joined with parts rendered elsewhere.
    if (!doc.PathName().empty() && !doc.IsModified() && settings.length > 0) {
        const CompressorInfo* compressor = job.writer.Writer().Compressor();
        const AviPartRecord record = RecordOfExport(
            ToUtf8(doc.PathName()), 0, settings.length - 1, settings.length,
            compressor != nullptr ? compressor->name : std::string(kUncompressedName));
        job.writer.Writer().SetInfo({{kAviPartRecordInfoId, FormatAviPartRecord(record)}});
    }
    ProjectFrameComposer composer(project);
    if (!job.Setup(QFile::encodeName(path).toStdString(), settings, composer)) {
        job.writer.Close();
        showError(parent, QString::fromStdString(
                              WithFailureNote(kExportCannotOpenFile, job.writer.Failure())));
        return false;
    }
    job.stopped = false;
    job.done = false;
    int result = QDialog::Rejected;
    {
        ExportProgressDialog dialog(parent, job, settings, composer);
        dialog.showImageCheck()->setChecked(showPreview);
        result = dialog.exec();
    }
    job.writer.Close();  // already closed on every way out; kept for safety
    choice.on = job.abortOnDrawError;
    if (result != QDialog::Accepted) {
        // A write that failed says which file and why; a cancel says nothing more.
        showError(parent,
                  QString::fromStdString(WithFailureNote(kExportStopped, job.writer.Failure())));
        return false;
    }
    return true;
}

}  // namespace kelvane

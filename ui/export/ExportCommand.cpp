#include "ui/export/ExportCommand.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>

#include "export/AviPartRecord.h"
#include "export/CompressorChooser.h"
#include "export/ExportDriver.h"
#include "export/ExportMessages.h"
#include "export/OutputContainer.h"
#include "export/ProjectFrameComposer.h"
#include "platform/FailureNote.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "ui/dialogs/DialogControls.h"
#include "ui/export/CompressorDialog.h"
#include "ui/export/ExportEndMessage.h"
#include "ui/export/ExportProgressDialog.h"
#include "ui/export/PreviewHold.h"
#include "ui/timeline/TimelineView.h"

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

constexpr const char* kExportSection = "AviExport";
constexpr const char* kFileTypeKey = "FileType";
constexpr const char* kFolderKey = "Folder";
constexpr int kDoneMessageMs = 10000;

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The kind of file chosen last; AVI when none is remembered.
const OutputContainer& lastFileType(const ProfileFile& profile) {
    PathBuffer value{};
    profile.ReadString(kExportSection, kFileTypeKey, u"", value);
    const std::string extension =
        QString::fromStdU16String(std::u16string(PathView(value))).toStdString();
    const OutputContainer* container = ContainerOfPath("x." + extension);
    return container != nullptr ? *container : OutputContainers().front();
}

const OutputContainer& fileTypeOfFilter(const QString& filter) {
    for (const OutputContainer& c : OutputContainers()) {
        if (toQString(c.fileType) == filter) {
            return c;
        }
    }
    return OutputContainers().front();
}

}  // namespace

QString exportDoneText(const QString& path, uint32_t frames, double frameRate) {
    const double seconds = frameRate > 0 ? frames / frameRate : 0.0;
    // Two decimals at most, none when whole: "5", "0.33".
    QString length = QString::number(seconds, 'f', 2);
    while (length.contains(QLatin1Char('.')) &&
           (length.endsWith(QLatin1Char('0')) || length.endsWith(QLatin1Char('.')))) {
        length.chop(1);
    }
    return QStringLiteral("作成しました: %1 (%2 フレーム, %3 秒)")
        .arg(path)
        .arg(frames)
        .arg(length);
}

std::optional<ExportRange> timelineSelection(QWidget* parent, const Document& doc) {
    const TimelineView* timeline =
        parent != nullptr ? parent->window()->findChild<TimelineView*>() : nullptr;
    if (timeline == nullptr) {
        return std::nullopt;
    }
    const uint32_t length = doc.GetProject().settings.length;
    const uint32_t first = std::min(timeline->state().selectionStart, length);
    const uint32_t end = std::min(timeline->state().selectionEnd, length);
    if (first >= end) {
        return std::nullopt;
    }
    return ExportRange{first, end - first};
}

QString askExportPath(QWidget* parent, const Document& doc, ProfileFile& profile,
                      bool* selectionOnly) {
    QStringList filters;
    for (const OutputContainer& c : OutputContainers()) {
        filters << toQString(c.fileType);
    }
    const OutputContainer& initial = lastFileType(profile);
    QFileDialog dialog(parent, QStringLiteral("名前を付けて保存"), QString(),
                       filters.join(QStringLiteral(";;")));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectNameFilter(toQString(initial.fileType));
    dialog.setDefaultSuffix(toQString(initial.extension));
    // The project's name in its folder; a new project goes by its title.
    const QFileInfo project(QString::fromStdU16String(doc.PathName()));
    const QString base =
        doc.PathName().empty() ? QStringLiteral("新規プロジェクト") : project.completeBaseName();
    // The folder of the last export, while it is there; else the project's own.
    PathBuffer lastFolder{};
    profile.ReadString(kExportSection, kFolderKey, u"", lastFolder);
    const QString remembered = QString::fromStdU16String(std::u16string(PathView(lastFolder)));
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir()) {
        dialog.setDirectory(remembered);
    } else if (!doc.PathName().empty()) {
        dialog.setDirectory(project.absolutePath());
    }
    dialog.selectFile(base + QLatin1Char('.') + toQString(initial.extension));
    // Another filter changes the extension of the name typed so far.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        const QString extension = toQString(fileTypeOfFilter(f).extension);
        dialog.setDefaultSuffix(extension);
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name == nullptr) {
            return;
        }
        QString text = name->text();
        if (ContainerOfPath(text.toStdString()) != nullptr) {
            text = text.left(text.lastIndexOf(QLatin1Char('.')));
        }
        if (!text.isEmpty()) {
            name->setText(text + QLatin1Char('.') + extension);
        }
    });
    QCheckBox* selection = nullptr;
    if (selectionOnly != nullptr) {
        // Below the file type, across the whole dialog.
        selection = makeCheck(&dialog, QStringLiteral("選択範囲のみ"));
        selection->setChecked(*selectionOnly);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            grid->addWidget(selection, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    if (selection != nullptr) {
        *selectionOnly = selection->isChecked();
    }
    QString path = dialog.selectedFiles().first();
    const OutputContainer& chosen = fileTypeOfFilter(dialog.selectedNameFilter());
    // A name with an extension we do not write gets the chosen kind's.
    if (ContainerOfPath(QFile::encodeName(path).toStdString()) == nullptr) {
        path += QLatin1Char('.') + toQString(chosen.extension);
    }
    const OutputContainer* written = ContainerOfPath(QFile::encodeName(path).toStdString());
    profile.WriteString(kExportSection, kFileTypeKey,
                        toQString(written->extension).toStdU16String());
    profile.WriteString(kExportSection, kFolderKey,
                        QFileInfo(path).absolutePath().toStdU16String());
    return path;
}

bool exportAvi(QWidget* parent, Document& doc, ProfileFile& profile) {
    const std::optional<ExportRange> selection = timelineSelection(parent, doc);
    bool selectionOnly = false;
    const QString path = askExportPath(parent, doc, profile, selection ? &selectionOnly : nullptr);
    if (path.isEmpty()) {
        return false;
    }
    DialogCompressorChooser chooser(parent, profile,
                                    ContainerOfPath(QFile::encodeName(path).toStdString()));
    return exportAviTo(parent, doc, path, chooser, true, selectionOnly ? selection : std::nullopt);
}

bool exportAviTo(QWidget* parent, Document& doc, const QString& path, CompressorChooser& chooser,
                 bool showPreview, std::optional<ExportRange> range) {
    // The export runs the project's sources from its first frame on: the preview pane keeps its
    // picture meanwhile and draws afresh after the export, however it ends.
    const PreviewHold hold(parent, doc);
    // The export composes and keeps its run-time state with the project; it edits nothing.
    Project& project = doc.ProjectForRendering();
    ExportJob job;
    // The abort-on-draw-error choice stays with the project from one export to the next.
    AbortOnDrawErrorChoice& choice = abortChoice();
    if (choice.project != &project) {
        choice = AbortOnDrawErrorChoice{&project, false};
    }
    job.abortOnDrawError = choice.on;
    const std::string nativePath = QFile::encodeName(path).toStdString();
    if (!job.writer.ChooseCompressor(chooser, ContainerOfPath(nativePath))) {
        return false;  // cancelled: no file, no message
    }
    ExportSettings settings = ExportSettingsOf(project);
    const uint32_t projectLength = settings.length;
    if (range && range->length > 0 && range->first < projectLength) {
        settings.first = range->first;
        settings.length = std::min(range->length, projectLength - range->first);
    }
    // A saved, unchanged project is what the file holds: record it as the command line does, so
    // that the file can be joined with parts rendered elsewhere.
    if (!doc.PathName().empty() && !doc.IsModified() && settings.length > 0) {
        const CompressorInfo* compressor = job.writer.Compressor();
        const AviPartRecord record = RecordOfExport(
            ToUtf8(doc.PathName()), settings.first, settings.first + settings.length - 1,
            projectLength,
            compressor != nullptr ? compressor->name : std::string(kUncompressedName));
        job.writer.SetInfo({{kAviPartRecordInfoId, FormatAviPartRecord(record)}});
    }
    ProjectFrameComposer composer(project);
    if (!job.Setup(nativePath, settings, composer)) {
        job.writer.Close();
        showError(parent, QString::fromStdString(
                              WithFailureNote(kExportCannotOpenFile, job.writer.Failure())));
        return false;
    }
    job.stopped = false;
    job.done = false;
    int result = QDialog::Rejected;
    bool cancelled = false;
    {
        ExportProgressDialog dialog(parent, job, settings, composer);
        dialog.showImageCheck()->setChecked(showPreview);
        result = dialog.exec();
        cancelled = dialog.cancelledByUser();
    }
    job.writer.Close();  // already closed on every way out; kept for safety
    choice.on = job.abortOnDrawError;
    if (result != QDialog::Accepted && cancelled && job.writer.Failure().reason.empty()) {
        showExportCancelled(parent, path, job.FramesWritten());
        return false;
    }
    if (result != QDialog::Accepted) {
        // A write that failed says which file and why; a cancel says nothing more.
        showError(parent,
                  QString::fromStdString(WithFailureNote(kExportStopped, job.writer.Failure())));
        return false;
    }
    if (auto* window = parent != nullptr ? qobject_cast<QMainWindow*>(parent->window()) : nullptr) {
        window->statusBar()->showMessage(
            exportDoneText(path, job.FramesWritten(), settings.frameRate), kDoneMessageMs);
    }
    return true;
}

}  // namespace kelvane

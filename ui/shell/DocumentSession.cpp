#include "ui/shell/DocumentSession.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "model/Document.h"
#include "ui/shell/QtUserPrompt.h"
#include "ui/shell/RecentFileList.h"

DocumentSession::DocumentSession(UiDocument& document, RecentFileList& recentFiles)
    : document_(document), recentFiles_(recentFiles) {
    observer_ = document_.Observers().OnUpdate(
        this, [this](const void*, kelvane::UpdateHint) { emit documentUpdated(); });
}

DocumentSession::~DocumentSession() {
    document_.SetRebuildViewsHandler({});
}

void DocumentSession::setRebuildPanes(std::function<void()> rebuild) {
    document_.SetRebuildViewsHandler(std::move(rebuild));
}

QString DocumentSession::name() const {
    return path_.isEmpty() ? kNewDocumentName : QFileInfo(path_).fileName();
}

bool DocumentSession::isModified() const {
    return document_.IsModified();
}

void DocumentSession::setPath(const QString& path) {
    path_ = path;
    emit nameChanged(name());
}

bool DocumentSession::newDocument() {
    if (!saveModified() || !document_.NewDocument()) {
        return false;
    }
    setPath(QString());
    return true;
}

bool DocumentSession::openDocument(const QString& path) {
    if (!saveModified()) {
        return false;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!document_.OpenDocument(full.toStdU16String())) {
        return false;
    }
    setPath(full);
    recentFiles_.add(full);
    return true;
}

bool DocumentSession::openWithDialog() {
    const QString path =
        QFileDialog::getOpenFileName(window_, QStringLiteral("開く"), QString(), kFileFilter,
                                     nullptr, QFileDialog::DontUseNativeDialog);
    return !path.isEmpty() && openDocument(path);
}

bool DocumentSession::openRecent(int index) {
    if (index < 0 || index >= recentFiles_.files().size()) {
        return false;
    }
    const QString path = recentFiles_.files()[index];
    if (!saveModified()) {
        return false;
    }
    if (!QFileInfo::exists(path) || !document_.OpenDocument(path.toStdU16String())) {
        // Gone or unreadable: the entry would only fail again.
        recentFiles_.remove(index);
        return false;
    }
    setPath(path);
    recentFiles_.add(path);
    return true;
}

bool DocumentSession::save() {
    return path_.isEmpty() ? saveAs() : saveTo(path_);
}

bool DocumentSession::saveAs() {
    QFileDialog dialog(window_, QStringLiteral("名前を付けて保存"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kFileFilter);
    dialog.setDefaultSuffix(QStringLiteral("xqm"));
    if (!path_.isEmpty()) {
        dialog.selectFile(path_);
    } else {
        dialog.selectFile(kNewDocumentName + QStringLiteral(".xqm"));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    const QString path = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    if (!saveTo(path)) {
        return false;
    }
    setPath(path);
    recentFiles_.add(path);
    return true;
}

bool DocumentSession::saveTo(const QString& path) {
    return document_.SaveDocument(path.toStdU16String());
}

bool DocumentSession::saveModified() {
    if (!document_.IsModified()) {
        return true;
    }
    QMessageBox box(QMessageBox::Warning, QtUserPrompt::kConfirmCaption,
                    QStringLiteral("%1 への変更を保存しますか?").arg(name()),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window_);
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return save();
        case QMessageBox::No:
            return true;
        default:
            return false;
    }
}

bool DocumentSession::commandState(CommandId id, CommandState& state) const {
    switch (id) {
        case CommandId::FileSave:
        case CommandId::FileSaveAs:
            state.enabled = true;
            return true;
        case CommandId::EditUndo:
            state.enabled = document_.CanUndo();
            return true;
        case CommandId::EditRedo:
            state.enabled = document_.CanRedo();
            return true;
        case CommandId::ProjectSettings:
            state.enabled = bool(projectSettings_);
            return true;
        case CommandId::ExportAvi:
            state.enabled = bool(exportDialog_);
            return true;
        default:
            return false;
    }
}

void DocumentSession::runCommand(CommandId id) {
    switch (id) {
        case CommandId::FileSave:
            save();
            break;
        case CommandId::FileSaveAs:
            saveAs();
            break;
        case CommandId::EditUndo:
            document_.Undo();
            break;
        case CommandId::EditRedo:
            document_.Redo();
            break;
        case CommandId::ProjectSettings:
            if (projectSettings_) {
                projectSettings_();
            }
            break;
        case CommandId::ExportAvi:
            if (exportDialog_) {
                exportDialog_();
            }
            break;
        default:
            break;
    }
}

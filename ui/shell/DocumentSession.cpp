#include "ui/shell/DocumentSession.h"

#include <QFileDialog>
#include <QFileInfo>

#include "model/Document.h"
#include "platform/UserPrompt.h"
#include "ui/shell/RecentFileList.h"

DocumentSession::DocumentSession(UiDocument& document, kelvane::UserPrompt& prompt,
                                 RecentFileList& recentFiles)
    : document_(document), prompt_(prompt), recentFiles_(recentFiles) {
    kelvane::DocumentObservers& observers = document_.Observers();
    updates_ = observers.OnUpdate(
        this, [this](const void*, kelvane::UpdateHint) { emit documentUpdated(); });
    history_ = observers.OnUndoRedoChanged([this](bool, bool) { emit documentUpdated(); });
    title_ = observers.OnTitleChanged([this](const std::u16string& title) {
        emit titleChanged(QString::fromStdU16String(title));
    });
    modified_ =
        observers.OnModifiedChanged([this](bool modified) { emit modifiedChanged(modified); });
}

DocumentSession::~DocumentSession() {
    document_.SetRebuildViewsHandler({});
}

void DocumentSession::setRebuildPanes(std::function<void()> rebuild) {
    document_.SetRebuildViewsHandler(std::move(rebuild));
}

QString DocumentSession::relinkedText(size_t count) {
    return QStringLiteral(
               "%1 "
               "個のファイルを新しい場所から読み込みました。保存すると新しい場所が記録されます。")
        .arg(count);
}

QString DocumentSession::path() const {
    return QString::fromStdU16String(document_.PathName());
}

QString DocumentSession::name() const {
    const QString file = path();
    return file.isEmpty() ? kNewDocumentName : QFileInfo(file).fileName();
}

QString DocumentSession::title() const {
    return QString::fromStdU16String(document_.Title());
}

bool DocumentSession::isModified() const {
    return document_.IsModified();
}

bool DocumentSession::newDocument() {
    return saveModified() && document_.NewDocument();
}

bool DocumentSession::openDocument(const QString& path) {
    if (!saveModified()) {
        return false;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    if (!document_.OpenDocument(full.toStdU16String())) {
        return false;
    }
    recentFiles_.add(full);
    reportRelinked();
    return true;
}

void DocumentSession::reportRelinked() {
    const size_t relinked = relinkedCount_ ? relinkedCount_() : 0;
    if (relinked > 0) {
        document_.SetModified(true);
        emit statusMessage(relinkedText(relinked));
    }
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
    recentFiles_.add(path);
    reportRelinked();
    return true;
}

bool DocumentSession::save() {
    const QString file = path();
    return file.isEmpty() ? saveAs() : saveTo(file);
}

bool DocumentSession::saveAs() {
    QFileDialog dialog(window_, QStringLiteral("名前を付けて保存"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(kFileFilter);
    dialog.setDefaultSuffix(QStringLiteral("xqm"));
    if (!path().isEmpty()) {
        dialog.selectFile(path());
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
    const QString question = QStringLiteral("%1 への変更を保存しますか?").arg(name());
    switch (prompt_.AskYesNoCancel(question.toStdString())) {
        case kelvane::PromptAnswer::Yes:
            return save();
        case kelvane::PromptAnswer::No:
            return true;
        case kelvane::PromptAnswer::Cancel:
            return false;
    }
    return false;
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

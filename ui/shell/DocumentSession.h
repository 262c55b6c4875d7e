#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "model/Subscription.h"
#include "ui/commands/CommandTarget.h"
#include "ui/frame/PaneContext.h"

class RecentFileList;

namespace kelvane {
class UserPrompt;
}

// The window's side of the one document: its file path and name, new, open and save with Qt's
// file dialogs, the question "%1 への変更を保存しますか?" before the project is replaced or the
// window closes, the recent-file list, and the document's own commands (save, save as, undo,
// redo, AVI export, project settings). Every call into the document from the window's frame
// lives here.
class DocumentSession : public QObject, public CommandTarget {
    Q_OBJECT
  public:
    static inline const QString kNewDocumentName = QStringLiteral("新規プロジェクト");
    static inline const QString kFileFilter = QStringLiteral("プロジェクトファイル (*.xqm)");

    DocumentSession(UiDocument& document, kelvane::UserPrompt& prompt, RecentFileList& recentFiles);
    ~DocumentSession() override;

    // The parent of the dialogs and message boxes.
    void setWindow(QWidget* window) { window_ = window; }
    // The main frame's rebuild of its panes, asked for by every new and opened project.
    void setRebuildPanes(std::function<void()> rebuild);
    // Dialogs that other parts of the window bring: unset, their command is disabled.
    void setProjectSettingsDialog(std::function<void()> show) {
        projectSettings_ = std::move(show);
    }
    void setExportDialog(std::function<void()> show) { exportDialog_ = std::move(show); }
    // How many media files the last read found in a new place (relinked): after an open that
    // relinked some, the status bar says how many and the project counts as changed, so that
    // the new places are saved.
    void setRelinkedCount(std::function<size_t()> count) { relinkedCount_ = std::move(count); }

    // "N 個のファイルを新しい場所から読み込みました。…"
    static QString relinkedText(size_t count);

    UiDocument& document() { return document_; }
    // Empty for a project never saved.
    QString path() const;
    // The file's name with its extension, or "新規プロジェクト".
    QString name() const;
    // "NAME - Kelvane".
    QString title() const;
    bool isModified() const;

    // The framework's commands. Each returns whether it went through.
    bool newDocument();
    // Asks to save first; a file that cannot be read leaves the current project.
    bool openDocument(const QString& path);
    bool openWithDialog();
    // Opens entry `index` of the recent-file list; an entry that cannot be read leaves the list.
    bool openRecent(int index);
    bool save();
    bool saveAs();
    // Asks "%1 への変更を保存しますか?" when the project was changed: Yes saves (and goes on only
    // when saved), No goes on, Cancel stops.
    bool saveModified();

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

  signals:
    // The window title changed (new, open, save as): "NAME - Kelvane".
    void titleChanged(const QString& title);
    // The document changed in a way that may change command states.
    void documentUpdated();
    // The project's modified flag changed: the title's mark follows it.
    void modifiedChanged(bool modified);
    // A message for the status bar.
    void statusMessage(const QString& text);

  private:
    bool saveTo(const QString& path);
    void reportRelinked();

    UiDocument& document_;
    kelvane::UserPrompt& prompt_;
    RecentFileList& recentFiles_;
    QPointer<QWidget> window_;
    kelvane::Subscription updates_;
    kelvane::Subscription history_;
    kelvane::Subscription title_;
    kelvane::Subscription modified_;
    std::function<void()> projectSettings_;
    std::function<void()> exportDialog_;
    std::function<size_t()> relinkedCount_;
};

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

    DocumentSession(UiDocument& document, RecentFileList& recentFiles);
    ~DocumentSession() override;

    // The parent of the dialogs and message boxes.
    void setWindow(QWidget* window) { window_ = window; }
    // The main frame's rebuild of its panes, asked for by every new and opened project. Unset
    // during start-up: the first project reuses the panes the frame made with its window.
    void setRebuildPanes(std::function<void()> rebuild);
    // Dialogs that other parts of the window bring: unset, their command is disabled.
    void setProjectSettingsDialog(std::function<void()> show) {
        projectSettings_ = std::move(show);
    }
    void setExportDialog(std::function<void()> show) { exportDialog_ = std::move(show); }

    UiDocument& document() { return document_; }
    // Empty for a project never saved.
    const QString& path() const { return path_; }
    // The file's name with its extension, or "新規プロジェクト".
    QString name() const;
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
    // The window title's name changed (new, open, save as).
    void nameChanged(const QString& name);
    // The document updated its views: command states may have changed.
    void documentUpdated();

  private:
    bool saveTo(const QString& path);
    void setPath(const QString& path);

    UiDocument& document_;
    RecentFileList& recentFiles_;
    QPointer<QWidget> window_;
    QString path_;
    kelvane::Subscription observer_;
    std::function<void()> projectSettings_;
    std::function<void()> exportDialog_;
};

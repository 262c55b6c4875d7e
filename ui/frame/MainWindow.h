#pragma once

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>

#include "ui/commands/CommandRouter.h"
#include "ui/commands/CommandTarget.h"
#include "ui/frame/PaneContext.h"
#include "ui/frame/PaneFactories.h"

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class PaneGrid;
class LockIndicators;

// The program's one top-level window: menu bar, toolbar, status bar and the 2 x 2 grid of panes.
// It routes every command (active pane, document, frame, application), keeps the menu and
// toolbar states up to date on menu opening, focus changes, document updates and key presses,
// and handles the frame's own commands: the bars, the keyboard split, the pane cycle and exit.
class MainWindow : public QMainWindow, public CommandTarget {
    Q_OBJECT
  public:
    static inline const QString kApplicationTitle = QStringLiteral("Kelvane");
    static inline const QString kReadyText = QStringLiteral("レディ");

    // `panes` makes the four panes at start and at every rebuild: the program's own by default.
    explicit MainWindow(PaneContext context, PaneFactory panes = makeStandardPanes,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // The other links of the command route.
    void setDocumentCommands(CommandTarget* target);
    void setApplicationCommands(CommandTarget* target);
    // Asked before the window closes (the save question); false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }
    // The recent-file list as the File menu shows it, newest first.
    void setRecentFiles(std::function<QStringList()> provider) {
        recentFiles_ = std::move(provider);
    }
    // A project file dropped on the window; called once the drop is over.
    void setProjectDropHandler(std::function<void(const QString&)> handler) {
        projectDropped_ = std::move(handler);
    }
    // Commands the frame runs for another part of the window (playback): asked after the
    // frame's own.
    void setExtraCommands(CommandTarget* target) {
        extraCommands_ = target;
        refreshCommands();
    }
    // Called before every command that a menu, the toolbar, a key or executeCommand runs.
    void setBeforeCommand(std::function<void(CommandId)> hook) { beforeCommand_ = std::move(hook); }
    // The document's title, "NAME - Kelvane", with the mark of a modified project after the
    // name ("NAME* - Kelvane" while it has unsaved changes).
    void setDocumentTitle(const QString& title);

    // New panes for a new or opened project. The old panes go first, so that whatever they
    // keep in the INI file is there when the new ones read it: a rebuild never brings back an
    // option the user has since changed.
    void rebuildPanes();
    PaneGrid* paneGrid() const { return grid_; }
    // The pane that last had the focus: the first link of the command route.
    QWidget* activePane() const;
    int activePaneIndex() const { return activeIndex_; }
    void activatePane(int index);

    QAction* commandAction(CommandId id) const { return actions_.value(int(id)); }
    QToolBar* toolBar() const { return toolBar_; }
    QLabel* messagePane() const { return message_; }
    // The timeline cursor's time and frame, "00:01.333 / 40", always in the status bar.
    QLabel* cursorField() const { return cursorField_; }
    LockIndicators* lockIndicators() const { return indicators_; }
    const CommandRouter& router() const { return router_; }

    // Runs a command along the route, as its menu item would.
    bool executeCommand(CommandId id);
    // Brings every action's enabled and checked state up to date.
    void refreshCommands();

    bool commandState(CommandId id, CommandState& state) const override;
    void runCommand(CommandId id) override;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* makeAction(CommandId id, const QString& text, const QString& shownKey);
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void showRecentFiles();
    PaneGrid* makePaneGrid();
    // The status bar's cursor field and the window-wide commands follow the new panes.
    void connectPanes();
    // The pane other than the active one that runs `id` (the timeline's "移動"), or null.
    CommandTarget* paneFor(CommandId id) const;
    void onFocusChanged(QWidget* now);
    void cyclePane(int step);

    PaneContext context_;
    PaneFactory paneFactory_;
    CommandRouter router_;
    // Ended before the window's children go: their destruction moves the focus.
    QMetaObject::Connection focusConnection_;
    QHash<int, QAction*> actions_;
    std::array<QAction*, 4> recentActions_{};
    QToolBar* toolBar_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* cursorField_ = nullptr;
    LockIndicators* indicators_ = nullptr;
    PaneGrid* grid_ = nullptr;
    int activeIndex_ = 0;
    std::function<bool()> closeGuard_;
    std::function<QStringList()> recentFiles_;
    std::function<void(const QString&)> projectDropped_;
    GuardedCommandTarget extraCommands_;
    std::function<void(CommandId)> beforeCommand_;
};

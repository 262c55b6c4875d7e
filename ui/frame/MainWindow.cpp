#include "ui/frame/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <utility>

#include "ui/frame/CommandMenu.h"
#include "ui/frame/LockIndicators.h"
#include "ui/frame/MenuTable.h"
#include "ui/frame/PaneFactories.h"
#include "ui/frame/PaneGrid.h"
#include "ui/frame/WindowPlacement.h"
#include "ui/playback/PlaybackIcon.h"
#include "ui/timeline/TimelineView.h"

namespace {

bool isCheckable(CommandId id) {
    switch (id) {
        case CommandId::PreviewToggle:
        case CommandId::AutoExtend:
        case CommandId::ViewToolBar:
        case CommandId::ViewStatusBar:
        case CommandId::PlayStop:
            return true;
        default:
            return false;
    }
}

// The toolbar's pictures: the desktop's icon theme where it has them, Qt's style otherwise. A
// command without either shows its name.
QIcon toolbarIcon(CommandId id, const QStyle* style) {
    switch (id) {
        case CommandId::FileNew:
            return QIcon::fromTheme(QStringLiteral("document-new"),
                                    style->standardIcon(QStyle::SP_FileIcon));
        case CommandId::FileOpen:
            return QIcon::fromTheme(QStringLiteral("document-open"),
                                    style->standardIcon(QStyle::SP_DialogOpenButton));
        case CommandId::FileSave:
            return QIcon::fromTheme(QStringLiteral("document-save"),
                                    style->standardIcon(QStyle::SP_DialogSaveButton));
        case CommandId::EditCut:
            return QIcon::fromTheme(QStringLiteral("edit-cut"));
        case CommandId::EditCopy:
            return QIcon::fromTheme(QStringLiteral("edit-copy"));
        case CommandId::EditPaste:
            return QIcon::fromTheme(QStringLiteral("edit-paste"));
        case CommandId::FilePrint:
            return QIcon::fromTheme(QStringLiteral("document-print"));
        case CommandId::AppAbout:
            return QIcon::fromTheme(QStringLiteral("help-about"),
                                    style->standardIcon(QStyle::SP_MessageBoxInformation));
        case CommandId::PlayStop:
            return playbackIcon(false, style);
        default:
            return {};
    }
}

bool isProjectFile(const QUrl& url) {
    return url.isLocalFile() &&
           url.toLocalFile().endsWith(QLatin1String(".xqm"), Qt::CaseInsensitive);
}

}  // namespace

MainWindow::MainWindow(PaneContext context, PaneFactory panes, QWidget* parent)
    : QMainWindow(parent), context_(std::move(context)), paneFactory_(std::move(panes)) {
    context_.commandsChanged = [this] { refreshCommands(); };
    setObjectName(QStringLiteral("MainWindow"));
    setDocumentTitle(QStringLiteral("新規プロジェクト - ") + kApplicationTitle);
    setAcceptDrops(true);
    router_.setActivePane([this] { return dynamic_cast<CommandTarget*>(activePane()); });
    router_.setFrame(this);

    buildMenus();
    buildToolBar();
    buildStatusBar();
    grid_ = makePaneGrid();
    const window_placement::Bars bars = window_placement::savedBars(context_.profile);
    grid_->setInitialBarPositions(bars.column, bars.row);
    setCentralWidget(grid_);
    connectPanes();
    resize(960, 640);
    window_placement::restore(*this, context_.profile);

    focusConnection_ = connect(qApp, &QApplication::focusChanged, this,
                               [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    qApp->installEventFilter(this);
    activatePane(0);
    refreshCommands();
}

MainWindow::~MainWindow() {
    disconnect(focusConnection_);
    qApp->removeEventFilter(this);
}

void MainWindow::setDocumentTitle(const QString& title) {
    const QString suffix = QStringLiteral(" - ") + kApplicationTitle;
    QString marked = title;
    if (marked.endsWith(suffix)) {
        marked.insert(marked.size() - suffix.size(), QStringLiteral("[*]"));
    } else {
        marked += QStringLiteral("[*]");
    }
    setWindowTitle(marked);
}

void MainWindow::setDocumentCommands(CommandTarget* target) {
    router_.setDocument(target);
    refreshCommands();
}

void MainWindow::setApplicationCommands(CommandTarget* target) {
    router_.setApplication(target);
    refreshCommands();
}

QAction* MainWindow::makeAction(CommandId id, const QString& text, const QString& shownKey) {
    auto* action = new QAction(text, this);
    const CommandTexts texts = commandTexts(id);
    action->setStatusTip(texts.statusTip);
    action->setToolTip(texts.name);
    if (!texts.name.isEmpty()) {
        action->setIconText(texts.name);  // the toolbar button's text and accessible name
    }
    action->setShortcuts(acceleratorsFor(id));
    action->setShortcutContext(Qt::WindowShortcut);
    action->setCheckable(isCheckable(id));
    CommandMenu::setShownKey(action, shownKey);
    connect(action, &QAction::triggered, this, [this, id] {
        executeCommand(id);
        refreshCommands();
    });
    // Held by the window too, so that the keys work while no menu is open.
    addAction(action);
    actions_.insert(int(id), action);
    return action;
}

void MainWindow::buildMenus() {
    for (const MenuSpec& menuSpec : menuTable()) {
        auto* menu = new CommandMenu(menuSpec.title, this);
        menuBar()->addMenu(menu);
        for (const MenuEntry& entry : menuSpec.entries) {
            if (entry.separator) {
                menu->addSeparator();
                continue;
            }
            QAction* action = makeAction(entry.id, entry.text, entry.shownKey);
            menu->addAction(action);
            if (entry.id == CommandId::RecentFile) {
                // The placeholder is the first entry of the list; the other three follow it.
                recentActions_[0] = action;
                for (int i = 1; i < 4; ++i) {
                    const auto id = CommandId(int(CommandId::RecentFile) + i);
                    recentActions_[size_t(i)] = makeAction(id, QString(), QString());
                    menu->addAction(recentActions_[size_t(i)]);
                }
                connect(menu, &QMenu::aboutToShow, this, [this] { showRecentFiles(); });
            }
        }
        connect(menu, &QMenu::aboutToShow, this, [this] { refreshCommands(); });
    }
    // Commands reached by key alone.
    for (CommandId id : {CommandId::NextPane, CommandId::PreviousPane}) {
        makeAction(id, commandTexts(id).name, QString());
    }
    showRecentFiles();
}

void MainWindow::showRecentFiles() {
    const QStringList files = recentFiles_ ? recentFiles_() : QStringList();
    for (size_t i = 0; i < recentActions_.size(); ++i) {
        QAction* action = recentActions_[i];
        if (i < size_t(files.size())) {
            QString path = files[qsizetype(i)];
            path.replace(QLatin1Char('&'), QStringLiteral("&&"));
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
            action->setVisible(true);
        } else if (i == 0) {
            action->setText(QStringLiteral("最近使ったファイル"));
            action->setVisible(true);
        } else {
            action->setVisible(false);
        }
    }
}

void MainWindow::buildToolBar() {
    toolBar_ = new QToolBar(QStringLiteral("ツール バー"), this);
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setIconSize(QSize(16, 15));
    for (const MenuEntry& entry : toolbarTable()) {
        if (entry.separator) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = commandAction(entry.id);
        if (action == nullptr) {
            action = makeAction(entry.id, commandTexts(entry.id).name, QString());
        }
        action->setIcon(toolbarIcon(entry.id, style()));
        toolBar_->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void MainWindow::buildStatusBar() {
    message_ = new QLabel(kReadyText, this);
    message_->setObjectName(QStringLiteral("message"));
    statusBar()->addWidget(message_, 1);
    cursorField_ = new QLabel(this);
    cursorField_->setObjectName(QStringLiteral("cursor"));
    cursorField_->setToolTip(QStringLiteral("カーソルの時間 / フレーム"));
    statusBar()->addPermanentWidget(cursorField_);
    indicators_ = new LockIndicators(this);
    statusBar()->addPermanentWidget(indicators_);
}

PaneGrid* MainWindow::makePaneGrid() {
    // The grid is the panes' parent from the start, so the factories get a parent that lives.
    auto* holder = new QWidget;
    const PaneSet panes = paneFactory_(context_, holder);
    auto* grid = new PaneGrid(panes, this);
    delete holder;  // empty now: the grid took every pane
    return grid;
}

void MainWindow::connectPanes() {
    cursorField_->clear();
    for (int i = 0; i < 4; ++i) {
        if (auto* timeline = qobject_cast<TimelineView*>(grid_->pane(i))) {
            cursorField_->setText(timeline->cursorText());
            connect(timeline, &TimelineView::cursorTextChanged, cursorField_, &QLabel::setText);
        }
    }
}

CommandTarget* MainWindow::paneFor(CommandId id) const {
    if (id != CommandId::GoToFrame || grid_ == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < 4; ++i) {
        auto* target = dynamic_cast<CommandTarget*>(grid_->pane(i));
        CommandState state;
        if (target != nullptr && target->commandState(id, state)) {
            return target;
        }
    }
    return nullptr;
}

void MainWindow::rebuildPanes() {
    // The old panes go before the new ones are made: a pane that keeps an option in the INI file
    // has written it by then, so the new pane reads what the user set last.
    window_placement::Bars bars = window_placement::savedBars(context_.profile);
    if (PaneGrid* old = std::exchange(grid_, nullptr)) {
        // The new panes stand where the user left the old ones.
        if (old->barsSettled()) {
            bars = {old->columnBarPosition(), old->rowBarPosition()};
        }
        takeCentralWidget();
        delete old;
    }
    grid_ = makePaneGrid();
    grid_->setInitialBarPositions(bars.column, bars.row);
    setCentralWidget(grid_);
    connectPanes();
    // The pane in the place of the one that was active becomes active.
    activatePane(activeIndex_);
    refreshCommands();
}

QWidget* MainWindow::activePane() const {
    return grid_ != nullptr ? grid_->pane(activeIndex_) : nullptr;
}

void MainWindow::activatePane(int index) {
    activeIndex_ = (index % 4 + 4) % 4;
    if (grid_ != nullptr) {
        grid_->setActivePane(activeIndex_);
    }
    if (QWidget* pane = activePane()) {
        pane->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::onFocusChanged(QWidget* now) {
    if (grid_ == nullptr || now == nullptr || now->window() != this) {
        return;
    }
    const int index = grid_->paneIndexOf(now);
    if (index >= 0 && index != activeIndex_) {
        activeIndex_ = index;
        grid_->setActivePane(activeIndex_);
    }
    refreshCommands();
}

void MainWindow::cyclePane(int step) {
    activatePane(activeIndex_ + step);
}

bool MainWindow::executeCommand(CommandId id) {
    if (beforeCommand_) {
        beforeCommand_(id);
    }
    return router_.run(id);
}

void MainWindow::refreshCommands() {
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        const CommandState state = router_.state(CommandId(it.key()));
        QAction* action = it.value();
        if (action->isEnabled() != state.enabled) {
            action->setEnabled(state.enabled);
        }
        if (action->isCheckable() && action->isChecked() != state.checked) {
            action->setChecked(state.checked);
        }
    }
}

bool MainWindow::commandState(CommandId id, CommandState& state) const {
    switch (id) {
        case CommandId::ViewToolBar:
            state = {true, !toolBar_->isHidden()};
            return true;
        case CommandId::ViewStatusBar:
            state = {true, !statusBar()->isHidden()};
            return true;
        case CommandId::WindowSplit:
        case CommandId::NextPane:
        case CommandId::PreviousPane:
        case CommandId::AppExit:
            state = {true, false};
            return true;
        default: {
            if (CommandTarget* pane = paneFor(id)) {
                return pane->commandState(id, state);
            }
            const CommandTarget* extra = extraCommands_.get();
            return extra != nullptr && extra->commandState(id, state);
        }
    }
}

void MainWindow::runCommand(CommandId id) {
    switch (id) {
        case CommandId::ViewToolBar:
            toolBar_->setHidden(!toolBar_->isHidden());
            break;
        case CommandId::ViewStatusBar:
            statusBar()->setHidden(!statusBar()->isHidden());
            break;
        case CommandId::WindowSplit:
            grid_->startKeyboardSplit();
            break;
        case CommandId::NextPane:
            cyclePane(1);
            break;
        case CommandId::PreviousPane:
            cyclePane(-1);
            break;
        case CommandId::AppExit:
            // Queued, so that the menu or key that asked has finished before the window goes.
            QTimer::singleShot(0, this, &QWidget::close);
            break;
        default:
            if (CommandTarget* pane = paneFor(id)) {
                pane->runCommand(id);
            } else if (CommandTarget* extra = extraCommands_.get()) {
                extra->runCommand(id);
            }
            break;
    }
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        message_->setText(tip.isEmpty() ? kReadyText : tip);
        return true;
    }
    if (event->type() == QEvent::WindowActivate) {
        indicators_->refresh();
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // A key may be an accelerator: its command's state must be current before Qt looks.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == this) {
                refreshCommands();
            }
            break;
        }
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock) {
                indicators_->refresh();
            }
            break;
        }
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    window_placement::save(*this, context_.profile);
    if (grid_ != nullptr) {
        window_placement::saveBars(*grid_, context_.profile);
    }
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), isProjectFile)) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (isProjectFile(url)) {
            event->acceptProposedAction();
            const QString path = url.toLocalFile();
            // Opening replaces the panes; the drop must be over before they go.
            QTimer::singleShot(0, this, [this, path] {
                if (projectDropped_) {
                    projectDropped_(path);
                }
            });
            return;
        }
    }
}

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyleOptionMenuItem>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <set>

#include "ui/commands/CommandRouter.h"
#include "ui/frame/CommandMenu.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/LockIndicators.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PaneGrid.h"
#include "ui/shell/AboutDialog.h"
#include "ui/shell/DocumentSession.h"

namespace {

// Owns every command it is asked about, except those it is told to leave, and records runs.
class RecordingTarget : public CommandTarget {
  public:
    std::set<CommandId> declined;
    std::vector<CommandId> runs;
    CommandState shown{true, false};

    bool commandState(CommandId id, CommandState& state) const override {
        if (declined.count(id) != 0) {
            return false;
        }
        state = shown;
        return true;
    }
    void runCommand(CommandId id) override { runs.push_back(id); }
};

// Exposes what a menu item draws: its text and the key beside it.
class InspectedMenu : public CommandMenu {
  public:
    using CommandMenu::CommandMenu;
    QString drawnText(const QAction* action) const {
        QStyleOptionMenuItem option;
        initStyleOption(&option, action);
        return option.text;
    }
};

QStringList describeMenu(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible()) {
            continue;
        }
        if (action->isSeparator()) {
            items << QStringLiteral("-");
            continue;
        }
        const QString key = CommandMenu::shownKey(action);
        items << (key.isEmpty() ? action->text() : action->text() + QLatin1Char('\t') + key);
    }
    return items;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void menuBarFollowsTheTableWithMnemonicsSeparatorsAndKeys() {
        frame::ShellFixture fixture;
        const QList<QAction*> menus = fixture.window().menuBar()->actions();
        QStringList titles;
        for (const QAction* menu : menus) {
            titles << menu->text();
        }
        QCOMPARE(titles,
                 QStringList({"ファイル(&F)", "編集(&E)", "表示(&V)", "設定(&S)", "ヘルプ(&H)"}));
        QCOMPARE(describeMenu(menus[0]->menu()),
                 QStringList({"新規作成(&N)\tCtrl+N", "開く(&O)...\tCtrl+O",
                              "上書き保存(&S)\tCtrl+S", "名前を付けて保存(&A)...", "-",
                              "AVIファイルの作成(&V)...", "プロジェクトの設定(&P)...", "-",
                              "最近使ったファイル", "-", "アプリケーションの終了(&X)"}));
        QCOMPARE(describeMenu(menus[1]->menu()),
                 QStringList({"プロパティ(&S)...\tEnter", "ファイルの追加(&N)...",
                              "ファイルの複製(&X)", "-", "元に戻す(&U)\tCtrl+Z",
                              "やり直し(&R)\tCtrl+Y", "-", "切り取り(&T)\tCtrl+X",
                              "コピー(&C)\tCtrl+C", "貼り付け(&P)\tCtrl+V", "消去(&D)\tDelete", "-",
                              "すべて選択(&A)\tCtrl+A", "-", "プレビュー画像を保存(&I)..."}));
        QCOMPARE(describeMenu(menus[2]->menu()),
                 QStringList({"プレビュー表示(&V)", "全トラック表示(&A)\tEsc", "拡大(&I)\tI",
                              "縮小(&O)\tO", "自動拡張(&E)", "目盛りの設定(&M)...",
                              "再生(&L)\tSpace", "移動(&G)...\tCtrl+G", "-", "ツール バー(&T)",
                              "ステータス バー(&S)", "分割(&P)"}));
        QCOMPARE(describeMenu(menus[3]->menu()),
                 QStringList({"既定の設定(&D)...", "処理速度優先(&P)...", "安定性優先(&S)..."}));
        QCOMPARE(describeMenu(menus[4]->menu()), QStringList({"バージョン情報(&A)..."}));

        // The drawn key is the table's, not Qt's name for it ("Del").
        InspectedMenu menu;
        QAction* clear = fixture.window().commandAction(CommandId::EditClear);
        QCOMPARE(menu.drawnText(clear), QStringLiteral("消去(&D)\tDelete"));
        QCOMPARE(fixture.window().windowTitle(), QStringLiteral("新規プロジェクト[*] - Kelvane"));
    }

    void toolbarNamesItsButtonsAndPrintStaysDisabled() {
        RecordingTarget everything;  // outlives the window that routes to it
        frame::ShellFixture fixture;
        QToolBar* bar = fixture.window().toolBar();
        QVERIFY(bar->isMovable());
        QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
        QStringList names;
        for (QAction* action : bar->actions()) {
            if (action->isSeparator()) {
                names << QStringLiteral("-");
                continue;
            }
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
            QVERIFY(button != nullptr);
            QCOMPARE(button->toolTip(), button->text());
            names << button->text();
        }
        QCOMPARE(names, QStringList({"新規作成", "開く", "上書き保存", "-", "切り取り", "コピー",
                                     "貼り付け", "-", "印刷", "バージョン情報", "再生/停止"}));
        // Even a document that claims every command gets no print.
        everything.declined = {CommandId::FilePrint};
        fixture.window().setDocumentCommands(&everything);
        QVERIFY(!fixture.window().commandAction(CommandId::FilePrint)->isEnabled());
        QVERIFY(fixture.window().commandAction(CommandId::EditCut)->isEnabled());
    }

    void withThePreviewActiveTheEditCommandsAreDisabled() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.activatePane(0);
        for (CommandId id : {CommandId::EditCut, CommandId::EditCopy, CommandId::EditPaste,
                             CommandId::EditClear, CommandId::Properties, CommandId::FilePrint}) {
            QVERIFY2(!window.commandAction(id)->isEnabled(), qPrintable(QString::number(int(id))));
        }
    }

    void statusBarShowsPromptsThenReadyAndHasLockIndicators() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        QCOMPARE(window.messagePane()->text(), QStringLiteral("レディ"));
        window.commandAction(CommandId::ExportAvi)->showStatusText(&window);
        QCOMPARE(window.messagePane()->text(), QStringLiteral("AVIファイルの作成"));
        QStatusTipEvent leave{QString()};
        QApplication::sendEvent(&window, &leave);
        QCOMPARE(window.messagePane()->text(), QStringLiteral("レディ"));
        const QStringList indicators = {
            window.lockIndicators()->label(LockIndicators::Caps)->text(),
            window.lockIndicators()->label(LockIndicators::Num)->text(),
            window.lockIndicators()->label(LockIndicators::Scroll)->text()};
        QCOMPARE(indicators, QStringList({"CAP", "NUM", "SCRL"}));
        // Offscreen reports no locks: all greyed.
        QVERIFY(!window.lockIndicators()->label(LockIndicators::Caps)->isEnabled());
    }

    void routeAsksActivePaneThenDocumentThenFrameThenApplication() {
        RecordingTarget pane, document, frameTarget, application;
        pane.declined = {CommandId::EditUndo, CommandId::ViewToolBar, CommandId::AppAbout,
                         CommandId::FilePrint};
        document.declined = {CommandId::ViewToolBar, CommandId::AppAbout, CommandId::FilePrint};
        frameTarget.declined = {CommandId::AppAbout, CommandId::FilePrint};
        application.declined = {CommandId::FilePrint};
        pane.shown = {false, true};  // owned but disabled: the route stops at the pane
        CommandRouter router;
        router.setActivePane([&] { return &pane; });
        router.setDocument(&document);
        router.setFrame(&frameTarget);
        router.setApplication(&application);

        QCOMPARE(router.state(CommandId::EditCut).checked, true);
        QVERIFY(!router.run(CommandId::EditCut));
        QVERIFY(router.run(CommandId::EditUndo));
        QVERIFY(router.run(CommandId::ViewToolBar));
        QVERIFY(router.run(CommandId::AppAbout));
        QVERIFY(!router.run(CommandId::FilePrint));
        QVERIFY(!router.state(CommandId::FilePrint).enabled);
        QCOMPARE(document.runs, std::vector<CommandId>{CommandId::EditUndo});
        QCOMPARE(frameTarget.runs, std::vector<CommandId>{CommandId::ViewToolBar});
        QCOMPARE(application.runs, std::vector<CommandId>{CommandId::AppAbout});
        QVERIFY(pane.runs.empty());
    }

    void aTargetDestroyedBeforeTheWindowIsNoLongerAsked() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.activatePane(0);  // the preview owns no edit command
        auto document = std::make_unique<RecordingTarget>();
        auto extra = std::make_unique<RecordingTarget>();
        window.setDocumentCommands(document.get());
        window.setExtraCommands(extra.get());
        QVERIFY(window.commandAction(CommandId::EditCut)->isEnabled());
        document.reset();
        extra.reset();
        // The window and its router take none of them for a target any more.
        window.refreshCommands();
        QVERIFY(!window.executeCommand(CommandId::EditCut));
        QVERIFY(!window.router().state(CommandId::EditCut).enabled);
        CommandRouter router;
        {
            RecordingTarget gone;
            router.setApplication(&gone);
            QVERIFY(router.state(CommandId::AppAbout).enabled);
        }
        QVERIFY(!router.run(CommandId::AppAbout));
    }

    void acceleratorsRunTheirCommandsWindowWide() {
        frame::ShellFixture fixture;
        fixture.window().hide();
        const std::unique_ptr<MainWindow> owned = fixture.windowWith(frame::placeholderPanes);
        MainWindow& window = *owned;
        RecordingTarget document;
        document.declined = {CommandId::NextPane, CommandId::PreviousPane};
        window.setDocumentCommands(&document);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.activatePane(0);  // the preview pane owns none of these commands

        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
            CommandId id;
        } keys[] = {
            {Qt::Key_Escape, Qt::NoModifier, CommandId::AllTracks},
            {Qt::Key_Delete, Qt::NoModifier, CommandId::EditClear},
            {Qt::Key_C, Qt::ControlModifier, CommandId::EditCopy},
            {Qt::Key_Insert, Qt::ControlModifier, CommandId::EditCopy},
            {Qt::Key_Delete, Qt::ShiftModifier, CommandId::EditCut},
            {Qt::Key_X, Qt::ControlModifier, CommandId::EditCut},
            {Qt::Key_V, Qt::ControlModifier, CommandId::EditPaste},
            {Qt::Key_Insert, Qt::ShiftModifier, CommandId::EditPaste},
            {Qt::Key_A, Qt::ControlModifier, CommandId::EditSelectAll},
            {Qt::Key_Backspace, Qt::AltModifier, CommandId::EditUndo},
            {Qt::Key_Z, Qt::ControlModifier, CommandId::EditUndo},
            {Qt::Key_Y, Qt::ControlModifier, CommandId::EditRedo},
            {Qt::Key_N, Qt::ControlModifier, CommandId::FileNew},
            {Qt::Key_O, Qt::ControlModifier, CommandId::FileOpen},
            {Qt::Key_S, Qt::ControlModifier, CommandId::FileSave},
            {Qt::Key_Return, Qt::NoModifier, CommandId::Properties},
            {Qt::Key_Enter, Qt::KeypadModifier, CommandId::Properties},
            {Qt::Key_I, Qt::NoModifier, CommandId::ZoomIn},
            {Qt::Key_O, Qt::NoModifier, CommandId::ZoomOut},
        };
        for (const auto& key : keys) {
            document.runs.clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key.key), key.modifiers);
            QCOMPARE(document.runs, std::vector<CommandId>{key.id});
        }

        // A command its owner has disabled does not run from its key either, even when it was
        // disabled since the last refresh.
        document.shown = {false, false};
        document.runs.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QVERIFY(document.runs.empty());

        // F6 and Shift+F6 move the focus through the panes in reading order, wrapping.
        window.activatePane(3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
        QCOMPARE(window.activePaneIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), window.paneGrid()->pane(0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
        QCOMPARE(window.activePaneIndex(), 3);
    }

    void paneGridStartsAtItsSizesAndSplitsByKeyboard() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.resize(1000, 700);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        PaneGrid* grid = window.paneGrid();
        QTRY_COMPARE(grid->columnBarPosition(), PaneGrid::kFirstColumnWidth);
        QCOMPARE(grid->rowBarPosition(), PaneGrid::kFirstRowHeight);
        QStringList names;
        for (int i = 0; i < 4; ++i) {
            names << grid->pane(i)->accessibleName();
        }
        QCOMPARE(names,
                 QStringList({"プレビュー", "ファイル一覧", "イベント一覧", "タイムライン"}));
        // The pane at the mouse becomes the active one.
        QTest::mouseClick(grid->pane(2), Qt::LeftButton);
        QCOMPARE(window.activePaneIndex(), 2);

        window.executeCommand(CommandId::WindowSplit);
        QVERIFY(grid->isKeyboardSplitActive());
        QTest::keyClick(grid, Qt::Key_Right);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(!grid->isKeyboardSplitActive());
        QCOMPARE(grid->columnBarPosition(), PaneGrid::kFirstColumnWidth + 8);
        QCOMPARE(grid->rowBarPosition(), PaneGrid::kFirstRowHeight + 8);
        QCOMPARE(QApplication::focusWidget(), grid->pane(2));
        // Esc puts the bars back where the split began, and is no accelerator meanwhile.
        window.executeCommand(CommandId::WindowSplit);
        QTest::keyClick(grid, Qt::Key_Left);
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(grid->columnBarPosition(), PaneGrid::kFirstColumnWidth + 8);
    }

    void barsToggleAndShowTheirCheckMarks() {
        frame::ShellFixture fixture;
        MainWindow& window = fixture.window();
        window.show();
        QAction* toolbar = window.commandAction(CommandId::ViewToolBar);
        QAction* status = window.commandAction(CommandId::ViewStatusBar);
        QVERIFY(toolbar->isChecked() && status->isChecked());
        toolbar->trigger();
        QVERIFY(window.toolBar()->isHidden());
        QVERIFY(!toolbar->isChecked());
        status->trigger();
        QVERIFY(window.statusBar()->isHidden());
        QVERIFY(!status->isChecked());
        toolbar->trigger();
        QVERIFY(!window.toolBar()->isHidden());
        QVERIFY(toolbar->isChecked());
    }

    void aboutBoxShowsVersionAndCloses() {
        frame::ShellFixture fixture;
        QString title, text;
        frame::answerNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            for (QLabel* label : modal->findChildren<QLabel*>()) {
                text += label->text();
            }
            auto* buttons = modal->findChild<QDialogButtonBox*>();
            buttons->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(fixture.window().executeCommand(CommandId::AppAbout));
        QCOMPARE(title, QStringLiteral("バージョン情報 Kelvane"));
        QCOMPARE(text, QStringLiteral("Kelvane Version 2.7"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"

#include <QApplication>
#include <QFile>
#include <QMimeData>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "ui/lists/FileListView.h"
#include "ui/lists/ListRowTexts.h"
#include "ui/lists/PaneTestWorld.h"
#include "ui/lists/TemplateListView.h"

using namespace kelvane;

class FileListTest : public QObject {
    Q_OBJECT

  private:
    static QStringList rows(const FileListView& view) {
        QStringList texts;
        for (int r = 0; r < view.model()->rowCount(); ++r) {
            texts << view.model()->index(r, 0).data().toString();
        }
        return texts;
    }
    static QPoint rowCentre(FileListView& view, int row) {
        return view.visualRect(view.model()->index(row, 0)).center();
    }
    static std::vector<uint32_t> marked(const FileListView& view) {
        std::vector<uint32_t> ids;
        for (uint32_t id = 0; id < kFileSlots; ++id) {
            if (view.selection().marks.test(id)) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    static void drop(FileListView& view, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(5, 5);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &dropped);
    }

  private slots:
    void rowTextsFollowTheKindOfEachSlot() {
        auto project = Project::Create();
        const auto set = [&](uint32_t id, FileKind kind, std::u16string_view path) {
            project->files[id].kind = kind;
            CopyPath(project->files[id].path, path);
        };
        set(3, FileKind::Movie, u"\\clip.avi");
        set(4, FileKind::Image, u"/p/a.bmp");
        set(5, FileKind::Effect, u"fx.so>Blur");
        set(6, FileKind::Project, u"n.xqm");
        set(7, FileKind(9), u"odd");
        project->files[8].kind = FileKind::Text;
        project->files[8].SetText(u"二行の\nテキスト");
        QCOMPARE(fileRowText(*project, 3), QStringLiteral(" ID:0003 動画          \\clip.avi"));
        QCOMPARE(fileRowText(*project, 4), QStringLiteral(" ID:0004 画像          /p/a.bmp"));
        QCOMPARE(fileRowText(*project, 5), QStringLiteral(" ID:0005 効果          fx.so>Blur"));
        QCOMPARE(fileRowText(*project, 6), QStringLiteral(" ID:0006 プロジェクト  n.xqm"));
        QCOMPARE(fileRowText(*project, 7), QStringLiteral(" ID:0007 不明"));
        QCOMPARE(fileRowText(*project, 8),
                 QStringLiteral(" ID:0008 テキスト      二行の テキスト"));
    }

    void droppedFilesFillSlotsInOrderAndFailuresShareOneMessage() {
        lists::PaneTestWorld world;
        FileListView view(world.doc, world.profile);
        const std::u16string a = world.picture(QStringLiteral("a.bmp"));
        const std::u16string b = world.picture(QStringLiteral("b.bmp"));
        drop(view, {QUrl::fromLocalFile(world.file("a.bmp")),
                    QUrl::fromLocalFile(world.file("missing.bmp")),
                    QUrl(QStringLiteral("https://example.invalid/c.bmp")),
                    QUrl::fromLocalFile(world.file("b.bmp"))});
        // The files are added once the drop is over.
        QTRY_COMPARE(view.model()->rowCount(), 2);
        const QString base = world.dir.path();
        QCOMPARE(rows(view),
                 QStringList({QStringLiteral(" ID:0000 画像          ") + base + "/a.bmp",
                              QStringLiteral(" ID:0001 画像          ") + base + "/b.bmp"}));
        QCOMPARE(world.prompt.errors.size(), size_t(1));
        QCOMPARE(
            QString::fromStdString(world.prompt.errors[0]),
            QStringLiteral(
                "ファイル\"%1/missing.bmp\"の読み込みに失敗しました。\nファイルが見つかりません。")
                .arg(base));
        // The whole drop is one step of the history.
        world.doc.Undo();
        QCOMPARE(view.model()->rowCount(), 0);
        world.doc.Redo();
        QCOMPARE(view.model()->rowCount(), 2);
    }

    void theProgressWindowClosesBeforeTheMessageAndStopsBeforeTheNextFile() {
        lists::PaneTestWorld world;
        FileListView view(world.doc, world.profile);
        view.setProgressDelay(0);  // the window shows from the second file on
        view.show();
        world.picture(QStringLiteral("pic.bmp"));
        QFile text(world.file("notreally.png"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("just text\n");
        text.close();
        world.picture(QStringLiteral("last.bmp"));
        auto progressShown = [] {
            const auto widgets = QApplication::topLevelWidgets();
            return std::any_of(widgets.begin(), widgets.end(), [](QWidget* w) {
                return qobject_cast<QProgressDialog*>(w) != nullptr && w->isVisible();
            });
        };
        bool shownWithMessage = true;
        world.prompt.onError = [&](const std::string&) { shownWithMessage = progressShown(); };
        view.addDroppedFiles({lists::u16(world.file("pic.bmp")),
                              lists::u16(world.file("notreally.png")),
                              lists::u16(world.file("last.bmp"))});
        QCOMPARE(rows(view).size(), 2);
        QCOMPARE(world.prompt.errors.size(), size_t(1));
        QVERIFY(QString::fromStdString(world.prompt.errors[0]).contains("notreally.png"));
        QVERIFY(!shownWithMessage);
        QVERIFY(!progressShown());

        // "中止" during one file: the next one is not added.
        world.doc.NewDocument();
        QTimer cancel;
        cancel.setInterval(0);
        connect(&cancel, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget())) {
                dialog->cancel();
            }
        });
        cancel.start();
        view.addDroppedFiles({lists::u16(world.file("pic.bmp")), lists::u16(world.file("last.bmp")),
                              lists::u16(world.file("pic.bmp"))});
        cancel.stop();
        QCOMPARE(rows(view).size(), 2);
        QVERIFY(!progressShown());
    }

    void clicksSelectAsTheListDoesAndPreviewOneFile() {
        lists::PaneTestWorld world;
        world.addPictures(5);
        FileListView view(world.doc, world.profile);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(view, 1));
        QCOMPARE(marked(view), std::vector<uint32_t>({1}));
        QCOMPARE(world.doc.Views().preview.kind, PreviewKind::FileImage);
        QCOMPARE(world.doc.Views().preview.track, 1u);
        QVERIFY(world.doc.Views().preview.pending);
        // Shift changes the state of the files strictly between, then of the one clicked.
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(view, 4));
        QCOMPARE(marked(view), std::vector<uint32_t>({1, 2, 3, 4}));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(view, 4));
        QCOMPARE(marked(view), std::vector<uint32_t>({1, 2, 3}));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(view, 2));
        QCOMPARE(marked(view), std::vector<uint32_t>({1, 3}));
        QCOMPARE(view.selection().cursor, 2u);
        // The view's selection, which assistive technology reads, is the same.
        QCOMPARE(view.selectionModel()->selectedRows().size(), 2);
        QCOMPARE(view.currentIndex().row(), 2);
        // A right click makes the row under the pointer current, as list controls do: a marked
        // row keeps the other marks, an unmarked one is marked alone.
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rowCentre(view, 3));
        QCOMPARE(marked(view), std::vector<uint32_t>({1, 3}));
        QCOMPARE(view.selection().cursor, 3u);
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rowCentre(view, 0));
        QCOMPARE(marked(view), std::vector<uint32_t>({0}));
        QCOMPARE(view.selection().cursor, 0u);
        QCOMPARE(view.currentIndex().row(), 0);
        // A selection made through the view's selection model reaches the pane's marks.
        view.selectionModel()->select(view.model()->index(0, 0),
                                      QItemSelectionModel::ClearAndSelect);
        QCOMPARE(marked(view), std::vector<uint32_t>({0}));
        // Up and Down step over empty slots.
        FileSelection gone;
        gone.marks.set(3);
        world.doc.Files().Delete(gone);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(view, 2));  // ID 2
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selection().cursor, 4u);
        QCOMPARE(marked(view), std::vector<uint32_t>({4}));
        QTest::keyClick(&view, Qt::Key_Up);
        QCOMPARE(view.selection().cursor, 2u);
        // With "Preview" off nothing is requested; the flag is in the INI file at once.
        world.doc.Views().preview = PreviewRequest{};
        view.runCommand(CommandId::PreviewToggle);
        QCOMPARE(world.profile.ReadInt("FileView", "Preview", 1), 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(view, 0));
        QCOMPARE(world.doc.Views().preview.kind, PreviewKind::None);
        FileListView rebuilt(world.doc, world.profile);
        QVERIFY(!rebuilt.previewOn());
    }

    void commandsChangeTheTableThroughTheDocument() {
        lists::PaneTestWorld world;
        world.addPictures(3);
        FileListView view(world.doc, world.profile);
        CommandState state;
        QVERIFY(!view.commandState(CommandId::EditCut, state));
        QVERIFY(view.commandState(CommandId::Properties, state));
        QVERIFY(!state.enabled);

        view.runCommand(CommandId::EditClear);
        QCOMPARE(world.prompt.errors, std::vector<std::string>{"消去できるデータがありません。"});
        view.selectionModel()->select(view.model()->index(1, 0),
                                      QItemSelectionModel::ClearAndSelect);
        view.runCommand(CommandId::EditClear);
        QCOMPARE(rows(view).size(), 2);
        QVERIFY(!world.doc.GetProject().files[1].Used());
        world.doc.Undo();
        QCOMPARE(rows(view).size(), 3);
        world.doc.Redo();
        QCOMPARE(rows(view).size(), 2);

        // Duplicates go to the free slots from the current file on and are not selected.
        view.runCommand(CommandId::EditSelectAll);
        QCOMPARE(marked(view), std::vector<uint32_t>({0, 2}));
        view.runCommand(CommandId::DuplicateFile);
        QCOMPARE(rows(view).size(), 4);
        QVERIFY(world.doc.GetProject().files[1].Used());
        QVERIFY(world.doc.GetProject().files[3].Used());
        QCOMPARE(marked(view), std::vector<uint32_t>({0, 2}));
        world.doc.Undo();
        QCOMPARE(rows(view).size(), 2);
    }

    void panesFollowTheProjectThatNewAndOpenInstall() {
        lists::PaneTestWorld world;
        world.addPictures(2);
        QVERIFY(world.doc.Templates().DropFile(0, 1));
        const std::u16string saved = lists::u16(world.file("two.xqm"));
        QVERIFY(world.doc.SaveDocument(saved));
        FileListView files(world.doc, world.profile);
        TemplateListView templates(world.doc, world.profile);
        QVERIFY(world.doc.NewDocument());
        QCOMPARE(files.model()->rowCount(), 0);
        QCOMPARE(templates.model()->index(0, 0).data().toString(), QStringLiteral(" 1 未設定"));
        QVERIFY(world.doc.OpenDocument(saved));
        QCOMPARE(files.model()->rowCount(), 2);
        QCOMPARE(templates.model()->index(0, 0).data().toString(),
                 QStringLiteral(" 1 ID:0001 画像"));
    }

    void addFileOpensThePropertiesOnAFreeSlot() {
        lists::PaneTestWorld world;
        world.addPictures(2);
        FileListView view(world.doc, world.profile);
        const std::u16string added = world.picture(QStringLiteral("added.bmp"));
        std::vector<uint32_t> asked;
        bool accept = true;
        view.setPropertiesEditor([&](QWidget*, uint32_t id, FileSelection& selection) {
            asked.push_back(id);
            if (!accept) {
                return false;
            }
            FilePropertiesForm form = world.doc.Files().FormForDialog(id);
            form.path = added;
            return world.doc.Files().ApplyProperties(id, form, selection);
        });
        view.runCommand(CommandId::AddFile);
        QCOMPARE(asked, std::vector<uint32_t>({2}));
        QCOMPARE(rows(view).size(), 3);
        QCOMPARE(marked(view), std::vector<uint32_t>({2}));
        CommandState state;
        QVERIFY(view.commandState(CommandId::Properties, state) && state.enabled);
        world.doc.Undo();
        QCOMPARE(rows(view).size(), 2);
        // Cancelled: the slot stays free and is not marked.
        accept = false;
        view.runCommand(CommandId::AddFile);
        QCOMPARE(rows(view).size(), 2);
        QVERIFY(marked(view).empty());
    }
};

QTEST_MAIN(FileListTest)
#include "file_list_test.moc"

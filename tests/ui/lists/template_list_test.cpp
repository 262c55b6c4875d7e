#include <QMimeData>
#include <QTest>

#include "ui/lists/ListDrags.h"
#include "ui/lists/ListRowTexts.h"
#include "ui/lists/PaneTestWorld.h"
#include "ui/lists/TemplateListView.h"

using namespace kelvane;

class TemplateListTest : public QObject {
    Q_OBJECT

  private:
    static QString row(const TemplateListView& view, int slot) {
        return view.model()->index(slot, 0).data().toString();
    }
    static QPoint rowCentre(QListView& view, int row) {
        return view.visualRect(view.model()->index(row, 0)).center();
    }
    static std::vector<uint32_t> selected(const Document& doc) {
        std::vector<uint32_t> chosen;
        for (uint32_t i = 0; i < kTemplateSlots; ++i) {
            if (doc.GetProject().templates[i].flags & kEventSelected) {
                chosen.push_back(i);
            }
        }
        return chosen;
    }

  private slots:
    void rowsCarryTheKeysAndDescribeTheTemplates() {
        lists::PaneTestWorld world;
        world.addPictures(1);
        TemplateListView view(world.doc, world.profile);
        QCOMPARE(view.model()->rowCount(), 64);
        QCOMPARE(row(view, 0), QStringLiteral(" 1 未設定"));
        QCOMPARE(row(view, 10), QStringLiteral(" A 未設定"));
        QCOMPARE(row(view, 26), QStringLiteral("   未設定"));
        QVERIFY(world.doc.Templates().DropFile(10, 0));
        QCOMPARE(row(view, 10), QStringLiteral(" A ID:0000 画像"));

        // Movies and nested projects show the start position and the speed.
        auto made = Project::Create();
        Project& project = *made;
        project.ApplyDefaults();
        project.files[5].kind = FileKind::Movie;
        EventTemplate& t = project.templates[3];
        t.flags = kEventUsed;
        t.fileId = 5;
        t.position = 754'321'000;  // 1 min 15.432 s
        t.step = project.settings.frameDuration / 2;
        QCOMPARE(templateRowText(project, 3, u'4'),
                 QStringLiteral(" 4 ID:0005 動画 01:15.432 x0.5000"));
        t.fileId = -1;
        QCOMPARE(templateRowText(project, 3, u'4'), QStringLiteral(" 4 ID:4294967295 不明"));
    }

    void clicksAndKeysSelectTemplatesAndPreviewOne() {
        lists::PaneTestWorld world;
        world.addPictures(1);
        QVERIFY(world.doc.Templates().DropFile(2, 0));
        TemplateListView view(world.doc, world.profile);
        view.resize(300, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, rowCentre(view, 2));
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({2}));
        QCOMPARE(world.doc.Views().preview.kind, PreviewKind::SingleEvent);
        QCOMPARE(world.doc.Views().workEvent.fileId, 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCentre(view, 5));
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({2, 3, 4, 5}));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(view, 3));
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({2, 4, 5}));
        QCOMPARE(view.selectionModel()->selectedRows().size(), 3);
        // A right click makes the row under the pointer current; a selected one keeps the rest.
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rowCentre(view, 5));
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({2, 4, 5}));
        QCOMPARE(view.currentSlot(), 5u);
        QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rowCentre(view, 7));
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({7}));
        QCOMPARE(view.currentSlot(), 7u);

        // A key selects its slot alone; keys wait while a drag is in progress.
        QTest::keyClick(&view, Qt::Key_S);
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({11}));
        QCOMPARE(view.currentSlot(), 11u);
        QTest::keyClick(&view, Qt::Key_Up);
        QCOMPARE(view.currentSlot(), 10u);
        world.doc.Views().drag = DragState{true, DragSource::File, 0};
        QTest::keyClick(&view, Qt::Key_1);
        QCOMPARE(view.currentSlot(), 10u);
        world.doc.Views().drag = DragState{};
        QTest::keyClick(&view, Qt::Key_Space);
        QCOMPARE(view.currentSlot(), 10u);

        // Select all marks the empty slots too.
        view.runCommand(CommandId::EditSelectAll);
        QCOMPARE(selected(world.doc).size(), size_t(64));
    }

    void clipboardCommandsGoThroughTheDocument() {
        lists::PaneTestWorld world;
        world.addPictures(2);
        QVERIFY(world.doc.Templates().DropFile(0, 0));
        QVERIFY(world.doc.Templates().DropFile(1, 1));
        TemplateListView view(world.doc, world.profile);
        view.runCommand(CommandId::EditSelectAll);
        view.runCommand(CommandId::EditCopy);

        // Pasting at a free current slot fills it and the next one; the current slot moves on.
        QTest::keyClick(&view, Qt::Key_5);
        view.runCommand(CommandId::EditPaste);
        QCOMPARE(row(view, 4), QStringLiteral(" 5 ID:0000 画像"));
        QCOMPARE(row(view, 5), QStringLiteral(" 6 ID:0001 画像"));
        QCOMPARE(view.currentSlot(), 5u);
        QCOMPARE(selected(world.doc), std::vector<uint32_t>({4, 5}));
        view.runCommand(CommandId::EditClear);
        QCOMPARE(row(view, 4), QStringLiteral(" 5 未設定"));
        world.doc.Undo();
        QCOMPARE(row(view, 4), QStringLiteral(" 5 ID:0000 画像"));
        world.doc.Undo();
        QCOMPARE(row(view, 5), QStringLiteral(" 6 未設定"));
        // Cut takes the selected templates away and can be undone.
        view.runCommand(CommandId::EditSelectAll);
        view.runCommand(CommandId::EditCut);
        QCOMPARE(row(view, 0), QStringLiteral(" 1 未設定"));
        QCOMPARE(row(view, 1), QStringLiteral(" 2 未設定"));
        world.doc.Undo();
        QCOMPARE(row(view, 1), QStringLiteral(" 2 ID:0001 画像"));

        // Properties go to the editor only with a selection.
        int edits = 0;
        view.setPropertiesEditor([&edits](QWidget*) { return ++edits > 0; });
        world.doc.Templates().Select([](uint32_t, const EventTemplate&) { return false; });
        view.runCommand(CommandId::Properties);
        QCOMPARE(edits, 0);
    }

    void aFileEntryDroppedOnARowFillsThatSlot() {
        lists::PaneTestWorld world;
        world.addPictures(3);
        TemplateListView view(world.doc, world.profile);
        view.resize(300, 400);
        const auto dropOn = [&view](int slot, QMimeData* data) {
            const QPoint at = rowCentre(view, slot);
            QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view.viewport(), &enter);
            QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            if (enter.isAccepted()) {
                QCoreApplication::sendEvent(view.viewport(), &drop);
            }
            delete data;
            return enter.isAccepted();
        };
        QVERIFY(dropOn(7, fileEntryMime(2)));
        QCOMPARE(row(view, 7), QStringLiteral(" 8 ID:0002 画像"));
        // A used slot is replaced.
        QVERIFY(dropOn(7, fileEntryMime(1)));
        QCOMPARE(row(view, 7), QStringLiteral(" 8 ID:0001 画像"));
        world.doc.Undo();
        QCOMPARE(row(view, 7), QStringLiteral(" 8 ID:0002 画像"));
        // Other drags are refused.
        auto* odd = new QMimeData;
        odd->setData(QStringLiteral("application/x-kelvane-file-entry"), "1024");
        QVERIFY(!dropOn(3, odd));
        QVERIFY(!dropOn(3, templateSlotMime(7)));
        QCOMPARE(row(view, 3), QStringLiteral(" 4 未設定"));
    }
};

QTEST_MAIN(TemplateListTest)
#include "template_list_test.moc"

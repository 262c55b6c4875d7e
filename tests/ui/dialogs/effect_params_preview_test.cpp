#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "model/Document.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/dialogs/PropertyDialogs.h"
#include "ui/lists/PaneTestWorld.h"
#include "ui/preview/PreviewView.h"

using dialogs::answerModal;
using namespace kelvane;

// While "効果の設定" is open, the preview shows the composition with the values being set: each
// change repaints it, Cancel puts the events back untouched, OK makes one edit to undo.
class EffectParamsPreviewTest : public QObject {
    Q_OBJECT

  private:
    static QImage shown(PreviewView& view) {
        view.repaint();
        return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Opens the event dialog on the selected gradient, sets its direction on the settings page
    // and reports what the preview showed then; `keep` ends both dialogs with OK, else Cancel.
    static bool editDirection(lists::PaneTestWorld& world, PreviewView& view, bool keep,
                              QImage& whileOpen, bool& untouchedWhileOpen) {
        const uint32_t steps = world.doc.History().Position();
        answerModal(QStringLiteral("イベントのプロパティ"), [&, keep](QWidget* events) {
            answerModal(QStringLiteral("効果の設定"), [&, keep, events](QWidget* settings) {
                auto* direction = settings->findChild<QLineEdit*>(QStringLiteral("向き 値"));
                QVERIFY(direction != nullptr);
                direction->setText(QStringLiteral("90"));
                emit direction->editingFinished();
                whileOpen = shown(view);
                untouchedWhileOpen =
                    !world.doc.IsModified() && world.doc.History().Position() == steps;
                if (keep) {
                    static_cast<QDialog*>(settings)->accept();
                    static_cast<QDialog*>(events)->accept();
                } else {
                    static_cast<QDialog*>(settings)->reject();
                    static_cast<QDialog*>(events)->reject();
                }
            });
            auto* open = events->findChild<QPushButton*>(QStringLiteral("効果の設定…"));
            QVERIFY(open != nullptr);
            open->click();
        });
        return editTrackEventProperties(nullptr, world.doc, 0, false);
    }

  private slots:
    void thePreviewFollowsTheSettingsAndCancelRestoresThem() {
        const QString module = QCoreApplication::applicationDirPath() + "/effect.so";
        if (!QFile::exists(module)) {
            QSKIP("the shipped effect module is not built beside the tests");
        }
        lists::PaneTestWorld world;
        ProjectSettingsForm form = world.doc.Settings().FormForDialog();
        form.width = 64;
        form.height = 36;
        form.length = u"10";
        QVERIFY(world.doc.Settings().Apply(form));
        FileSelection files;
        const std::vector<std::u16string> paths = {
            lists::u16(module + QStringLiteral(">グラデーション（左から右）"))};
        QVERIFY(world.doc.Files().AddDroppedFiles(paths, files));
        QCOMPARE(world.doc.GetProject().files[0].kind, FileKind::Effect);
        QVERIFY(world.doc.Timeline().DropFile(0, 0, 0, false));
        world.doc.Timeline().SelectAll(0);
        world.doc.SetModified(false);

        PreviewView view(world.doc, world.prompt, world.profile);
        view.resize(64, 36);
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, 0};
        const QImage before = shown(view);
        const uint32_t undoSteps = world.doc.History().Position();

        QImage whileOpen;
        bool untouched = false;
        QVERIFY(!editDirection(world, view, false, whileOpen, untouched));
        QVERIFY(whileOpen != before);  // top to bottom instead of left to right
        QVERIFY(untouched);
        QCOMPARE(shown(view), before);
        QVERIFY(!world.doc.IsModified());
        QCOMPARE(world.doc.History().Position(), undoSteps);
        QVERIFY(world.doc.GetProject().tracks[0].ExtrasAt(0).IsDefault());

        // OK keeps what the preview showed, as one step to undo.
        QImage kept;
        world.doc.SetModified(false);
        QVERIFY(editDirection(world, view, true, kept, untouched));
        QVERIFY(untouched);
        QCOMPARE(kept, whileOpen);
        QCOMPARE(shown(view), whileOpen);
        QVERIFY(world.doc.IsModified());
        QCOMPARE(world.doc.History().Position(), undoSteps + 1);
        world.doc.Undo();
        QCOMPARE(shown(view), before);
    }
};

QTEST_MAIN(EffectParamsPreviewTest)
#include "effect_params_preview_test.moc"

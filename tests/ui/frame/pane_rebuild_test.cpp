#include <QClipboard>
#include <QFileDialog>
#include <QMimeData>
#include <QtTest>

#include "media/TimeoutQuery.h"
#include "model/Document.h"
#include "platform/ProfileFile.h"
#include "ui/dragdrop/MimeTypes.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/shell/DocumentSession.h"

namespace {

// A pane that keeps its "Preview" flag the old way: read when made, written only when destroyed.
class FlagPane : public QWidget, public CommandTarget {
  public:
    FlagPane(kelvane::ProfileFile& profile, const char* section, QWidget* parent)
        : QWidget(parent), profile_(profile), section_(section) {
        preview_ = profile_.ReadInt(section_, "Preview", 1) != 0;
        setFocusPolicy(Qt::StrongFocus);
    }
    ~FlagPane() override { profile_.WriteInt(section_, "Preview", preview_ ? 1 : 0); }

    bool preview() const { return preview_; }

    bool commandState(CommandId id, CommandState& state) const override {
        if (id != CommandId::PreviewToggle) {
            return false;
        }
        state = {true, preview_};
        return true;
    }
    void runCommand(CommandId) override { preview_ = !preview_; }

  private:
    kelvane::ProfileFile& profile_;
    const char* section_;
    bool preview_ = true;
};

PaneSet flagPanes(const PaneContext& context, QWidget* parent) {
    return {new FlagPane(context.profile, "ImageView", parent),
            new FlagPane(context.profile, "FileView", parent),
            new FlagPane(context.profile, "EventView", parent),
            new FlagPane(context.profile, "TrackView", parent)};
}

bool timelinePreview(MainWindow& window) {
    return static_cast<FlagPane*>(window.paneGrid()->pane(3))->preview();
}

}  // namespace

class PaneRebuildTest : public QObject {
    Q_OBJECT
  private slots:
    void rebuildKeepsTheFlagTheUserSetLast() {
        frame::ShellFixture fixture;
        Shell& shell = fixture.shell();
        MainWindow window(PaneContext{shell.document(),
                                      shell.prompt(),
                                      shell.clipboard(),
                                      fixture.process().Profile(),
                                      {}},
                          flagPanes);
        window.setDocumentCommands(&shell.session());
        window.activatePane(3);
        QAction* preview = window.commandAction(CommandId::PreviewToggle);
        QVERIFY(preview->isEnabled() && preview->isChecked());

        preview->trigger();
        QVERIFY(!preview->isChecked());
        window.rebuildPanes();
        QVERIFY(!timelinePreview(window));  // not the value the INI file held before
        QVERIFY(!preview->isChecked());
        preview->trigger();
        window.rebuildPanes();
        QVERIFY(timelinePreview(window));
        // The preview pane takes no part in the toggle of another pane.
        window.activatePane(0);
        QVERIFY(preview->isEnabled());
    }

    void projectFileDroppedOnTheWindowOpensIt() {
        frame::ShellFixture fixture;
        const QString path = fixture.path(QStringLiteral("dropped.xqm"));
        frame::answerNextModal([path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QVERIFY(fixture.session().saveAs());
        QVERIFY(fixture.session().newDocument());

        MainWindow& window = fixture.window();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(fixture.path(QStringLiteral("picture.png"))),
                      QUrl::fromLocalFile(path)});
        const QPoint at = window.rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("dropped.xqm[*] - Kelvane"));

        // Other files are for the file list, not for the window.
        QMimeData picture;
        picture.setUrls({QUrl::fromLocalFile(fixture.path(QStringLiteral("picture.png")))});
        QDragEnterEvent other(at, Qt::CopyAction, &picture, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &other);
        QVERIFY(!other.isAccepted());
    }

    void clipboardCarriesTheBlockUnderItsOwnTypeOnly() {
        frame::ShellFixture fixture;
        QtClipboard& clipboard = fixture.shell().clipboard();
        const std::vector<uint8_t> block = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        QVERIFY(clipboard.Put(block));
        std::vector<uint8_t> back;
        QVERIFY(clipboard.Get(back));
        QCOMPARE(back, block);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(!data->hasText());  // other programs see no garbage text

        QGuiApplication::clipboard()->setText(QStringLiteral("another program's text"));
        QVERIFY(!clipboard.Get(back));
    }

    void timeoutQuestionAsksOkCancelOverTheWindow() {
        frame::ShellFixture fixture;
        QCOMPARE(kelvane::TimeoutQuery(), &fixture.shell().timeoutPrompt());
        frame::BoxSeen seen;
        frame::answerNextBox(QMessageBox::Ok, &seen);
        QVERIFY(kelvane::AskTimeoutContinue());
        QCOMPARE(seen.caption, QStringLiteral("エラー"));
        QCOMPARE(seen.text,
                 QStringLiteral("動画の画像の取得がタイムアウトしました。続行しますか？"));
        QCOMPARE(seen.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        frame::answerNextBox(QMessageBox::Cancel);
        QVERIFY(!kelvane::AskTimeoutContinue());
    }
};

QTEST_MAIN(PaneRebuildTest)
#include "pane_rebuild_test.moc"

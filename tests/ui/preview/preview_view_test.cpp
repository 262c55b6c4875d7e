#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "model/Document.h"
#include "model/ProjectFile.h"
#include "model/TimelineCommands.h"
#include "render/PixelImage.h"
#include "ui/lists/PaneTestWorld.h"
#include "ui/preview/PreviewView.h"
#include "ui/preview/StretchedImage.h"

using namespace kelvane;

namespace {

// Counts the paints of the widget it watches.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(int& count) : count_(count) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count_;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    int& count_;
};

}  // namespace

class PreviewViewTest : public QObject {
    Q_OBJECT

  private:
    static uint32_t at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
    static QImage shown(PreviewView& view) {
        view.repaint();
        return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Answers the next save dialog with `path` (empty: cancels it).
    static void answerSaveDialog(const QString& path) {
        QTimer::singleShot(0, [path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
    }
    static QByteArray bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

  private slots:
    void pixelsAreRepeatedOrDroppedAndShownTheRightWayUp() {
        PixelImage image;
        QVERIFY(image.Create(4, 2, 32));
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 4; ++x) {
                image.Row32(y)[x] = uint32_t(0x100000 * (x + 1) + y);
            }
        }
        // The QImage reads the frame's own memory.
        QCOMPARE(wrapPixels(image).constBits(), image.Pixels());

        QImage pane(8, 4, QImage::Format_RGB32);
        pane.fill(Qt::black);
        {
            QPainter painter(&pane);
            drawStretched(painter, image, pane.rect());
        }
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 8; ++x) {
                QCOMPARE(at(pane, x, y), uint32_t(0x100000 * (x / 2 + 1) + y / 2));
            }
        }
        // Shrinking drops whole rows and columns: every pane pixel is one source pixel.
        QImage small(3, 1, QImage::Format_RGB32);
        {
            QPainter painter(&small);
            drawStretched(painter, image, small.rect());
        }
        for (int x = 0; x < 3; ++x) {
            const uint32_t p = at(small, x, 0);
            QVERIFY((p & 0xFF) <= 1 && (p >> 20) >= 1 && (p >> 20) <= 4 && (p & 0x0FFF00) == 0);
        }
    }

    void aFileIsShownStretchedOnlyWhilePreviewIsOn() {
        lists::PaneTestWorld world;
        world.addPictures(1);  // 4 x 2, pixel (x, y) = x * 0x10 + y
        world.profile.WriteInt("ImageView", "KeepAspect", 0);
        PreviewView view(world.doc, world.prompt, world.profile);
        view.resize(8, 4);
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::FileImage, 0, 0};
        QImage image = shown(view);
        QCOMPARE(at(image, 0, 0), 0x00u);
        QCOMPARE(at(image, 7, 3), 0x31u);
        QCOMPARE(at(image, 2, 2), 0x11u);
        QVERIFY(!world.doc.Views().preview.pending);
        // Resizing stretches again, without keeping the aspect ratio.
        view.resize(4, 8);
        image = shown(view);
        QCOMPARE(at(image, 3, 7), 0x31u);
        QCOMPARE(at(image, 3, 0), 0x30u);

        view.runCommand(CommandId::PreviewToggle);
        QCOMPARE(world.profile.ReadInt("ImageView", "Preview", 1), 0);
        image = shown(view);
        QCOMPARE(image.pixel(3, 7), view.palette().color(QPalette::Base).rgb());
        // Off: saving asks nothing.
        view.runCommand(CommandId::SavePreviewImage);
        QVERIFY(world.prompt.errors.empty());
        PreviewView rebuilt(world.doc, world.prompt, world.profile);
        QVERIFY(!rebuilt.previewOn());
    }

    void thePictureKeepsItsShapeUnlessTheUserTurnsThatOff() {
        lists::PaneTestWorld world;
        world.addPictures(1);  // 4 x 2, pixel (x, y) = x * 0x10 + y
        PreviewView view(world.doc, world.prompt, world.profile);
        QVERIFY(view.keepsAspect());
        view.resize(8, 8);
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::FileImage, 0, 0};
        QImage image = shown(view);
        // Scaled to 8 x 4 and centred on the pane's background.
        const uint32_t background = view.palette().color(QPalette::Base).rgb() & 0xFFFFFF;
        QCOMPARE(at(image, 0, 1), background);
        QCOMPARE(at(image, 7, 6), background);
        QCOMPARE(at(image, 0, 2), 0x00u);
        QCOMPARE(at(image, 7, 5), 0x31u);
        QCOMPARE(fittedRect(QSize(1280, 720), QRect(0, 0, 320, 240)), QRect(0, 30, 320, 180));
        QCOMPARE(fittedRect(QSize(2, 4), QRect(10, 0, 9, 4)), QRect(13, 0, 2, 4));

        // The menu's item turns it off at once and for every later pane.
        bool found = false;
        QTimer::singleShot(0, [&found] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("縦横比を保持(&K)") && action->isChecked()) {
                    found = true;
                    action->trigger();
                }
            }
            menu->close();
        });
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2),
                               view.mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(&view, &menu);
        QVERIFY(found);
        QCOMPARE(world.profile.ReadInt("ImageView", "KeepAspect", 1), 0);
        image = shown(view);
        QCOMPARE(at(image, 0, 0), 0x00u);
        QCOMPARE(at(image, 7, 7), 0x31u);
        PreviewView rebuilt(world.doc, world.prompt, world.profile);
        QVERIFY(!rebuilt.keepsAspect());
    }

    void aShownCompositionIsRepaintedAfterEveryEdit() {
        lists::PaneTestWorld world;
        world.addPictures(1);
        Document& doc = world.doc;
        QVERIFY(doc.Templates().DropFile(0, 0));
        PreviewView view(doc, world.prompt, world.profile);
        view.resize(64, 48);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        int paints = 0;
        PaintCounter counter(paints);
        view.installEventFilter(&counter);
        for (PreviewKind kind : {PreviewKind::AllTracksAtFrame, PreviewKind::TrackAtFrame}) {
            doc.Views().preview = PreviewRequest{false, kind, 0, 0};
            // An event from the property dialog, a template inserted at the cursor.
            const int before = paints;
            QVERIFY(doc.Timeline().DropFile(0, 0, 0, true));
            QTRY_VERIFY(paints > before);
            const int edited = paints;
            QVERIFY(doc.Timeline().Insert(0, doc.GetProject().templates[0], true));
            QTRY_VERIFY(paints > edited);
            const int inserted = paints;
            doc.Timeline().SelectAll(0);
            QVERIFY(doc.Timeline().EditSelected(
                0, [](TrackEvent& event) { event.colour = 0x00FF0000; }, true));
            QTRY_VERIFY(paints > inserted);
        }
    }

    void aFailedCompositionIsShownOnceThenNothing() {
        lists::PaneTestWorld world;
        PreviewView view(world.doc, world.prompt, world.profile);
        view.resize(200, 40);
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::TrackAtFrame, 300, 0};
        const QImage failed = shown(view);
        QCOMPARE(world.doc.Views().preview.kind, PreviewKind::None);
        const QImage blank = shown(view);
        QVERIFY(failed != blank);  // the message was drawn once
        QCOMPARE(blank.pixel(10, 10), view.palette().color(QPalette::Base).rgb());
    }

    void theSavedImageIsTheOutputFrameAsTheRendererWritesIt() {
        lists::PaneTestWorld world;
        world.addPictures(1);
        Document& doc = world.doc;
        QVERIFY(doc.Timeline().DropFile(2, 0, 0, true));
        PreviewView view(doc, world.prompt, world.profile);
        view.resize(64, 48);
        doc.Views().preview = PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, 0};
        shown(view);

        const QString saved = world.file("saved.bmp");
        answerSaveDialog(saved);
        view.runCommand(CommandId::SavePreviewImage);
        QVERIFY(world.prompt.errors.empty());
        const QByteArray written = bytes(saved);
        // The output size (320 x 240), not the pane's.
        QCOMPARE(written.size(), 54 + 320 * 240 * 4);

        // kelvane-render --frame writes the same bytes for the saved project.
        const QString tool = QCoreApplication::applicationDirPath() + "/kelvane-render";
        if (!QFile::exists(tool)) {
            QSKIP("kelvane-render is not built beside the tests");
        }
        const QString projectPath = world.file("p.xqm");
        QVERIFY(doc.SaveDocument(lists::u16(projectPath)));
        const QString rendered = world.file("rendered.bmp");
        QProcess render;
        render.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        render.start(tool, {projectPath, QStringLiteral("--frame"), QStringLiteral("0"),
                            QStringLiteral("-o"), rendered});
        QVERIFY(render.waitForFinished(60000));
        QCOMPARE(render.exitCode(), 0);
        QCOMPARE(bytes(rendered), written);
    }

    void aSourceIsSavedAtItsOwnSizeAndOtherRequestsAreRefused() {
        lists::PaneTestWorld world;
        world.addPictures(1);
        PreviewView view(world.doc, world.prompt, world.profile);
        view.resize(50, 50);
        world.doc.Views().preview = PreviewRequest{false, PreviewKind::FileImage, 0, 0};
        const QString saved = world.file("source.bmp");
        answerSaveDialog(saved);
        view.runCommand(CommandId::SavePreviewImage);
        QCOMPARE(bytes(saved), bytes(world.file("p0.bmp")));

        // An unused work event, an empty slot: nothing to save. A cancelled dialog: no message.
        world.doc.Views().preview = PreviewRequest{false, PreviewKind::SingleEvent, 0, 0};
        answerSaveDialog(world.file("event.bmp"));
        view.runCommand(CommandId::SavePreviewImage);
        world.doc.Views().preview = PreviewRequest{false, PreviewKind::FileImage, 7, 0};
        answerSaveDialog(world.file("empty.bmp"));
        view.runCommand(CommandId::SavePreviewImage);
        answerSaveDialog(QString());
        view.runCommand(CommandId::SavePreviewImage);
        QCOMPARE(world.prompt.errors,
                 std::vector<std::string>(2, "保存可能なデータがありません。"));
        // A composition that fails is not saved.
        world.doc.Views().preview = PreviewRequest{false, PreviewKind::TrackAtFrame, 300, 0};
        answerSaveDialog(world.file("none.bmp"));
        view.runCommand(CommandId::SavePreviewImage);
        QCOMPARE(world.prompt.errors.back(), std::string("保存に失敗しました。"));
        QVERIFY(!QFile::exists(world.file("none.bmp")));
    }

    void anEffectShowsItsTextsAndCannotBeSaved() {
        const QString module = QCoreApplication::applicationDirPath() + "/effect.so";
        if (!QFile::exists(module)) {
            QSKIP("the shipped effect module is not built beside the tests");
        }
        lists::PaneTestWorld world;
        FileSelection selection;
        const std::vector<std::u16string> paths = {lists::u16(module)};
        QVERIFY(world.doc.Files().AddDroppedFiles(paths, selection));
        QCOMPARE(world.doc.GetProject().files[0].kind, FileKind::Effect);
        PreviewView view(world.doc, world.prompt, world.profile);
        view.resize(300, 200);
        const QImage blank = shown(view);
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::FileImage, 0, 0};
        QVERIFY(shown(view) != blank);  // the texts
        answerSaveDialog(world.file("effect.bmp"));
        view.runCommand(CommandId::SavePreviewImage);
        QCOMPARE(world.prompt.errors, std::vector<std::string>{"保存可能なデータがありません。"});
    }

    // A drag in the composition moves the topmost event under the pointer (Alt: the current
    // track's), as one step to undo; Shift keeps it on one axis; an explicit matrix moves by its
    // translation.
    void aDragMovesTheEventUnderThePointer() {
        lists::PaneTestWorld world;
        std::vector<std::u16string> paths = {world.picture(QStringLiteral("a.bmp"), 20, 10),
                                             world.picture(QStringLiteral("b.bmp"), 20, 10)};
        FileSelection files;
        QVERIFY(world.doc.Files().AddDroppedFiles(paths, files));
        ProjectSettingsForm form = world.doc.Settings().FormForDialog();
        form.width = 100;
        form.height = 50;
        form.length = u"10";
        QVERIFY(world.doc.Settings().Apply(form));
        const auto place = [&](uint32_t track, int32_t file, float x, float y, bool parametric) {
            TrackEvent e{};
            e.flags = kEventUsed | (parametric ? kEventParametric : 0u);
            e.fileId = file;
            e.right = 20;
            e.bottom = 10;
            e.scale = 1;
            e.positionX = x;
            e.positionY = y;
            const float matrix[9] = {1, 0, x, 0, 1, y, 0, 0, 1};
            std::copy(std::begin(matrix), std::end(matrix), e.matrix);
            std::copy(std::begin(matrix), std::end(matrix), e.inverse);
            e.inverse[2] = -x;
            e.inverse[5] = -y;
            QVERIFY(world.doc.Timeline().Insert(track, e, false));
        };
        place(0, 0, 10, 10, true);
        place(1, 1, 20, 12, true);
        place(2, 1, 70, 30, false);
        world.profile.WriteInt("ImageView", "KeepAspect", 0);
        PreviewView view(world.doc, world.prompt, world.profile);
        uint32_t currentTrack = 0;
        view.setCurrentTrackSource([&]() -> std::optional<uint32_t> { return currentTrack; });
        view.resize(200, 100);  // two pane pixels per output pixel
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, 5};
        const auto event = [&](uint32_t track) -> const TrackEvent& {
            return world.doc.GetProject().tracks[track].Events()[0];
        };
        const auto moveTo = [&](QPoint to, Qt::KeyboardModifiers modifiers) {
            QMouseEvent move(QEvent::MouseMove, QPointF(to), view.mapToGlobal(QPointF(to)),
                             Qt::NoButton, Qt::LeftButton, modifiers);
            QApplication::sendEvent(&view, &move);
        };
        const auto drag = [&](QPoint from, QPoint to, Qt::KeyboardModifiers modifiers) {
            QTest::mousePress(&view, Qt::LeftButton, modifiers, from);
            moveTo((from + to) / 2, modifiers);
            moveTo(to, modifiers);
            const std::optional<QPolygonF> outline = view.dragOutline();
            QTest::mouseRelease(&view, Qt::LeftButton, modifiers, to);
            return outline;
        };
        const uint32_t steps = world.doc.History().Position();

        // (25, 15) lies on both pictures: the one of the higher track moves, by (10, 5).
        const std::optional<QPolygonF> outline = drag({50, 30}, {70, 40}, {});
        QVERIFY(outline.has_value());
        QCOMPARE(outline->boundingRect(), QRectF(30, 17, 20, 10));
        QCOMPARE(event(1).positionX, 30.0f);
        QCOMPARE(event(1).positionY, 17.0f);
        QCOMPARE(event(0).positionX, 10.0f);
        QCOMPARE(world.doc.History().Position(), steps + 1);
        QVERIFY(!view.dragOutline().has_value());
        world.doc.Undo();
        QCOMPARE(event(1).positionX, 20.0f);
        QCOMPARE(event(1).positionY, 12.0f);

        // Alt: the current track's event, even under another; Shift: along one axis only.
        drag({50, 30}, {70, 36}, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(event(0).positionX, 20.0f);
        QCOMPARE(event(0).positionY, 10.0f);
        QCOMPARE(event(1).positionX, 20.0f);

        // An explicit matrix: its translation moves and its inverse follows.
        drag({150, 70}, {140, 90}, {});
        QCOMPARE(event(2).matrix[2], 65.0f);
        QCOMPARE(event(2).matrix[5], 40.0f);
        QCOMPARE(event(2).inverse[2], -65.0f);
        QCOMPARE(event(2).inverse[5], -40.0f);

        // Nothing under the pointer, or the pane showing a file rather than the composition:
        // nothing moves and nothing is recorded.
        const uint32_t before = world.doc.History().Position();
        drag({190, 5}, {150, 20}, {});
        world.doc.Views().preview = PreviewRequest{true, PreviewKind::FileImage, 0, 0};
        drag({50, 30}, {70, 40}, {});
        QCOMPARE(world.doc.History().Position(), before);
    }
};

QTEST_MAIN(PreviewViewTest)
#include "preview_view_test.moc"

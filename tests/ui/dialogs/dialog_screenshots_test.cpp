#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "export/Compressor.h"
#include "export/CompressorChooser.h"
#include "export/ExportJob.h"
#include "model/Document.h"
#include "render/PixelImage.h"
#include "ui/dialogs/EffectSelectionDialog.h"
#include "ui/dialogs/EventPropertiesDialog.h"
#include "ui/dialogs/FilePropertiesDialog.h"
#include "ui/dialogs/ProjectPropertiesDialog.h"
#include "ui/export/CompressorDialog.h"
#include "ui/export/ExportProgressDialog.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/preview/PreviewImageFile.h"
#include "ui/shell/AboutDialog.h"
#include "ui/timeline/GoToFrameDialog.h"
#include "ui/timeline/ScaleMarksDialog.h"

using namespace kelvane;

// Pictures of every dialog and of the window's panes for a person to look at, in
// ${build}/screenshots, named with the scale they were taken at (the test runs once as it is and
// once with QT_SCALE_FACTOR=1.5). Also checks what a look would find: each dialog fits a
// 1280 x 800 screen, no text is cut short and no two controls overlap.
class DialogScreenshotsTest : public QObject {
    Q_OBJECT
  private:
    static QString folder() {
        const QString path =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
        QDir().mkpath(path);
        return path;
    }
    static QString scaled(const QString& name) {
        const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
        return factor.isEmpty() || factor == "1"
                   ? name
                   : name + QStringLiteral("@") + QString::fromLatin1(factor) + u'x';
    }
    static bool showsText(const QWidget* w) {
        return qobject_cast<const QLabel*>(w) != nullptr ||
               qobject_cast<const QAbstractButton*>(w) != nullptr ||
               qobject_cast<const QLineEdit*>(w) != nullptr ||
               qobject_cast<const QComboBox*>(w) != nullptr;
    }
    // Controls that are not parts of another control (a combo box's own edit, say).
    static QList<QWidget*> controls(QWidget& window) {
        QList<QWidget*> found;
        for (QWidget* w : window.findChildren<QWidget*>()) {
            if (!showsText(w) || !w->isVisibleTo(&window)) {
                continue;
            }
            bool inner = false;
            for (QWidget* p = w->parentWidget(); p != &window && p != nullptr;
                 p = p->parentWidget()) {
                inner = inner || showsText(p);
            }
            if (!inner) {
                found.append(w);
            }
        }
        return found;
    }
    static void checkLayout(QWidget& window, const QString& name) {
        const QList<QWidget*> all = controls(window);
        for (QWidget* w : all) {
            const QSize needed = w->minimumSizeHint();
            QVERIFY2(w->width() >= needed.width() && w->height() >= needed.height(),
                     qPrintable(name + QStringLiteral(": cut ") + w->accessibleName() +
                                QStringLiteral(" ") +
                                QString::fromLatin1(w->metaObject()->className())));
            const QRect place(w->mapTo(&window, QPoint(0, 0)), w->size());
            for (QWidget* other : all) {
                if (other == w || other->isAncestorOf(w) || w->isAncestorOf(other)) {
                    continue;
                }
                const QRect there(other->mapTo(&window, QPoint(0, 0)), other->size());
                QVERIFY2(!place.intersects(there),
                         qPrintable(name + QStringLiteral(": ") + w->accessibleName() +
                                    QStringLiteral(" overlaps ") + other->accessibleName()));
            }
        }
    }
    void shoot(QWidget& dialog, const QString& name) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY2(dialog.width() <= 1280 && dialog.height() <= 800, qPrintable(name));
        checkLayout(dialog, name);
        QVERIFY(dialog.grab().save(folder() + u'/' + scaled(name) + QStringLiteral(".png")));
    }

  private slots:
    void everyDialog() {
        TrackEvent event{};
        event.flags = kEventUsed | kEventParametric;
        event.scale = 1;
        event.right = 640;
        event.bottom = 480;
        EventPropertiesDialog eventDialog(nullptr, eventPropertiesFrom(event, 333333, true), false);
        shoot(eventDialog, QStringLiteral("event_properties"));

        FilePropertiesForm file;
        file.useText = true;
        file.text = u"テキスト";
        FilePropertiesDialog fileDialog(nullptr, file, {});
        shoot(fileDialog, QStringLiteral("file_properties"));

        ProjectSettingsForm project;
        project.width = 320;
        project.height = 240;
        project.frameRate = 30;
        project.length = u"300";
        ProjectPropertiesDialog projectDialog(nullptr, project);
        shoot(projectDialog, QStringLiteral("project_properties"));

        const std::vector<EffectInfo> effects;
        EffectSelectionDialog effectDialog(nullptr, effects, QString());
        shoot(effectDialog, QStringLiteral("effect_selection"));

        timeline::ScaleMarksDialog marks(4, 1, nullptr);
        shoot(marks, QStringLiteral("scale_marks"));

        timeline::GoToFrameDialog goTo(45, 300, 333333, nullptr);
        shoot(goTo, QStringLiteral("go_to_frame"));

        AboutDialog about(nullptr);
        shoot(about, QStringLiteral("about"));
        // The caption fits its title bar.
        QVERIFY(about.width() >= AboutDialog::captionWidth(AboutDialog::kTitle, about.font()));

        CompressorDialog compressors(nullptr, AvailableCompressors(), CompressorSelection{});
        shoot(compressors, QStringLiteral("compressor"));

        ExportJob job;
        ExportSettings settings;
        struct : FrameComposer {
            void ResetForExport() override {}
            bool Compose(uint32_t, PixelImage&) override { return true; }
        } composer;
        ExportProgressDialog progress(nullptr, job, settings, composer);
        shoot(progress, QStringLiteral("export_progress"));
    }

    void thePanesOfTheWindow() {
        frame::ShellFixture fixture;
        Document& doc = fixture.session().document();
        PixelImage image;
        QVERIFY(image.Create(64, 36, 32));
        for (int y = 0; y < 36; ++y) {
            for (int x = 0; x < 64; ++x) {
                image.Row32(y)[x] = uint32_t(x * 4) << 16 | uint32_t(y * 7) << 8 | 0x40;
            }
        }
        const QString picture = fixture.path(QStringLiteral("wide.bmp"));
        QVERIFY(writePreviewImage(picture.toStdU16String(), image));
        const std::vector<std::u16string> paths = {picture.toStdU16String()};
        FileSelection selection;
        QVERIFY(doc.Files().AddDroppedFiles(paths, selection));
        QVERIFY(doc.Templates().DropFile(0, 0));
        QVERIFY(doc.Timeline().DropFile(0, 0, 0, true));
        QVERIFY(doc.Timeline().DropFile(1, 0, 12, true));
        doc.Views().preview = PreviewRequest{true, PreviewKind::AllTracksAtFrame, 0, 0};

        MainWindow& window = fixture.window();
        window.resize(1280, 800);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activatePane(1);
        QCoreApplication::processEvents();
        QVERIFY(window.grab().save(folder() + u'/' + scaled(QStringLiteral("window")) +
                                   QStringLiteral(".png")));

        // The active pane's frame lies around the pane, never over it: every pane paints the
        // same pixels whether it is active or not (the timeline's frame-0 cursor runs down its
        // left edge, the preview's picture reaches its edges).
        PaneGrid* grid = window.paneGrid();
        auto paneShots = [&] {
            const QImage whole = window.grab().toImage();
            const qreal ratio = whole.devicePixelRatio();
            std::array<QImage, 4> shots;
            for (int i = 0; i < 4; ++i) {
                const QWidget* pane = grid->pane(i);
                const QRect area(pane->mapTo(&window, QPoint(0, 0)), pane->size());
                shots[size_t(i)] = whole.copy(QRect((QPointF(area.topLeft()) * ratio).toPoint(),
                                                    (QSizeF(area.size()) * ratio).toSize()));
            }
            return shots;
        };
        const auto withFileListActive = paneShots();
        for (int active : {0, 3}) {
            window.activatePane(active);
            QCoreApplication::processEvents();
            const auto shots = paneShots();
            QCOMPARE(shots[size_t(active)], withFileListActive[size_t(active)]);
        }
        QVERIFY(window.grab().save(folder() + u'/' +
                                   scaled(QStringLiteral("window_timeline_active")) +
                                   QStringLiteral(".png")));
    }
};

QTEST_MAIN(DialogScreenshotsTest)
#include "dialog_screenshots_test.moc"

#include <QDir>
#include <QtTest>

#include "export/Compressor.h"
#include "export/CompressorChooser.h"
#include "export/ExportJob.h"
#include "ui/dialogs/EventPropertiesDialog.h"
#include "ui/dialogs/FilePropertiesDialog.h"
#include "ui/dialogs/ProjectPropertiesDialog.h"
#include "ui/export/CompressorDialog.h"
#include "ui/export/ExportProgressDialog.h"

using namespace kelvane;

// Pictures of every dialog for a person to look at, in ${build}/screenshots. Also checks that
// each one lays out within a 1024 x 768 screen.
class DialogScreenshotsTest : public QObject {
    Q_OBJECT
  private:
    void shoot(QWidget& dialog, const QString& name) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY2(dialog.width() <= 1024 && dialog.height() <= 768, qPrintable(name));
        const QString folder =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../screenshots");
        QDir().mkpath(folder);
        QVERIFY(dialog.grab().save(folder + u'/' + name + QStringLiteral(".png")));
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
};

QTEST_MAIN(DialogScreenshotsTest)
#include "dialog_screenshots_test.moc"

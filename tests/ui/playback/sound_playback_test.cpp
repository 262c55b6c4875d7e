// Playback of a project with sound where there is no sound device (the sound server is out of
// reach): the pictures run silently on the machine's clock and the status bar says why; what a
// device is given at a start; and the track mute of the timeline's menu, an undoable edit that
// takes the track out of the mix.
#include <QLabel>
#include <QMenu>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "export/playback/PlaybackTiming.h"
#include "media/audio/SoundMixer.h"
#include "model/Document.h"
#include "ui/frame/FrameTestSupport.h"
#include "ui/frame/PaneGrid.h"
#include "ui/lists/ListRowTexts.h"
#include "ui/playback/PlaybackController.h"
#include "ui/playback/SoundDevice.h"
#include "ui/playback/SoundOutput.h"
#include "ui/timeline/TimelineView.h"

using namespace std::chrono;

namespace {

class SoundWorld {
  public:
    SoundWorld() {
        kelvane::Document& doc = document();
        kelvane::ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.length = u"90";
        doc.Settings().Apply(form);
        const QString wav = fixture.path(QStringLiteral("tone.wav"));
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:d=3 '" + wav.toStdString() + "'";
        made = std::system(command.c_str()) == 0;
        kelvane::FileSelection selection;
        const std::u16string path = wav.toStdU16String();
        made = made && doc.Files().AddDroppedFiles({&path, 1}, selection);
        made = made && doc.Timeline().DropFile(0, 0, 0, false);
        playback().setClock([ns = ns] { return nanoseconds(ns->load()); });
        window().activateWindow();
        window().activatePane(3);
    }

    MainWindow& window() { return fixture.window(); }
    kelvane::Document& document() { return fixture.shell().document(); }
    PlaybackController& playback() { return fixture.shell().playback(); }
    TimelineView& timeline() { return *qobject_cast<TimelineView*>(window().paneGrid()->pane(3)); }
    void toFrame(uint64_t k) {
        ns->store(kelvane::FrameDueOffset(k, kelvane::ExactRate{30, 1}).count());
    }

    frame::ShellFixture fixture;
    std::shared_ptr<std::atomic<int64_t>> ns = std::make_shared<std::atomic<int64_t>>(0);
    bool made = false;
};

// Keeps what it is given; plays nothing, so the stream's time stands at its start.
class RecordingDevice final : public SoundDevice {
  public:
    explicit RecordingDevice(std::shared_ptr<std::vector<float>> given)
        : given_(std::move(given)) {}
    qint64 bytesFree() const override { return 4800 * 8; }
    qint64 processedUSecs() const override { return 0; }
    void write(const char* data, qint64 size) override {
        const size_t at = given_->size();
        given_->resize(at + size_t(size) / sizeof(float));
        std::memcpy(given_->data() + at, data, size_t(size));
    }
    bool failed() const override { return false; }

  private:
    std::shared_ptr<std::vector<float>> given_;
};

}  // namespace

class SoundPlaybackTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // Read when the first sound device is looked for. The acceptance tier passes a server of
        // its own; otherwise no server answers.
        const QByteArray server = qgetenv("KELVANE_SOUND_SERVER");
        realDevice_ = !server.isEmpty();
        qputenv("PULSE_SERVER", realDevice_ ? server : "unix:/nonexistent/kelvane-no-sound-server");
    }

    void withADeviceThePicturesFollowTheSoundHeard() {
        if (!realDevice_) {
            QSKIP("no sound server given");
        }
        SoundWorld world;
        QVERIFY(world.made);
        world.playback().setClock(kelvane::SteadyPlaybackClock());
        QVERIFY(world.playback().start());
        QTRY_VERIFY(world.playback().statistics().firstFrameAfter.has_value());
        QCOMPARE(world.playback().silenceReason(), QString());
        QVERIFY(world.playback().followsSound());
        QTRY_VERIFY_WITH_TIMEOUT(world.timeline().state().cursor >= 45, 5000);
        QVERIFY(world.playback().followsSound());
        world.playback().stop();
    }

    void withoutADeviceThePicturesRunSilentlyAndTheStatusBarSaysWhy() {
        if (realDevice_) {
            QSKIP("a sound server is given");
        }
        SoundWorld world;
        QVERIFY(world.made);
        QVERIFY(kelvane::ProjectHasSound(world.document().GetProject()));
        // The file list says which file has sound, and how long it lasts.
        QVERIFY2(kelvane::fileRowText(world.document().GetProject(), 0)
                     .contains(QStringLiteral("音声 00:03.000 ")),
                 qPrintable(kelvane::fileRowText(world.document().GetProject(), 0)));
        QVERIFY(world.playback().start());
        QTRY_COMPARE(world.playback().silenceReason(), SoundOutput::noDeviceText());
        QVERIFY(!world.playback().followsSound());
        // On the machine's clock (the test's) from where the stream stood.
        world.toFrame(7);
        QTRY_COMPARE(world.timeline().state().cursor, 7u);
        QVERIFY(world.window().messagePane()->text().endsWith(SoundOutput::noDeviceText()));
        world.playback().stop();
        QCOMPARE(world.window().messagePane()->text(), MainWindow::kReadyText);
    }

    // The device is opened at the start and given nothing before the first frame is ready, as
    // what it plays is heard from that frame on; then its first samples are the sound at the
    // cursor, never silence standing in for a mix not made yet.
    void aDeviceFirstGetsTheSoundAtTheCursorWithTheFirstFrame() {
        SoundWorld world;
        QVERIFY(world.made);
        auto given = std::make_shared<std::vector<float>>();
        int opened = 0;
        world.playback().setSoundDevices([&] {
            ++opened;
            return std::make_unique<RecordingDevice>(given);
        });
        world.timeline().moveCursorTo(30);
        size_t givenWithFirstFrame = 0;
        bool shown = false;
        connect(&world.playback(), &PlaybackController::frameShown, this, [&] {
            if (!shown) {
                shown = true;
                givenWithFirstFrame = given->size();
            }
        });
        QVERIFY(world.playback().start());
        QCOMPARE(opened, 1);
        QVERIFY(given->empty());
        QTRY_VERIFY(shown);
        QCOMPARE(world.timeline().state().cursor, 30u);
        QVERIFY(world.playback().followsSound());
        // At least what keeps the device busy until the next write.
        QVERIFY2(givenWithFirstFrame >= size_t(2 * 4800),
                 qPrintable(QString::number(givenWithFirstFrame)));
        const std::vector<float> first(given->begin(), given->begin() + givenWithFirstFrame);
        std::vector<float> expected(first.size());
        const int64_t start = 48'000;  // frame 30 at 30 fps
        kelvane::MixProjectSound(world.document().GetProject(), start,
                                 start + int64_t(first.size() / 2), expected.data());
        QVERIFY(first == expected);
        QVERIFY(std::any_of(first.begin(), first.end(), [](float s) { return s > 0.1f; }));
        world.playback().stop();
    }

    void trackMuteFromTheMenuIsUndoableAndSilencesTheTrack() {
        SoundWorld world;
        QVERIFY(world.made);
        const auto muteAction = [&] {
            std::unique_ptr<QMenu> menu(world.timeline().createContextMenu(nullptr));
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("トラックのミュート")) {
                    return std::pair{action->isChecked(), true};
                }
            }
            return std::pair{false, false};
        };
        QCOMPARE(muteAction(), std::pair(false, true));
        {
            std::unique_ptr<QMenu> menu(world.timeline().createContextMenu(nullptr));
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("トラックのミュート")) {
                    action->trigger();
                }
            }
        }
        const kelvane::Project& project = world.document().GetProject();
        QVERIFY(project.tracks[0].Sound().muted);
        QVERIFY(!kelvane::ProjectHasSound(project));
        QCOMPARE(muteAction(), std::pair(true, true));
        // Nothing to hear: no device is asked for, so no reason is given.
        QVERIFY(world.playback().start());
        QTRY_VERIFY(world.playback().statistics().firstFrameAfter.has_value());
        world.toFrame(2);
        QTRY_COMPARE(world.timeline().state().cursor, 2u);
        QVERIFY(world.playback().silenceReason().isEmpty());
        world.playback().stop();

        QVERIFY(world.window().executeCommand(CommandId::EditUndo));
        QVERIFY(!world.document().GetProject().tracks[0].Sound().muted);
    }

  private:
    bool realDevice_ = false;
};

QTEST_MAIN(SoundPlaybackTest)
#include "sound_playback_test.moc"

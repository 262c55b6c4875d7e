// "音量(%)" and "ミュート" of the event and template dialogs, run as the panes run them: on a
// project with a sounding file and a picture, through the document, with undo.
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "media/MediaDocumentServices.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "model/JournalFormat.h"
#include "model/RecoveryJournal.h"
#include "support/ScriptedPrompt.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/dialogs/PropertyDialogs.h"

using namespace kelvane;

namespace {

const QString kTitle = QStringLiteral("イベントのプロパティ");

// File 0 a tone (sound only), file 1 a picture; track 0 holds the tone at frames 0 and 20 and
// the picture at 10; template slot 0 the tone, slot 1 the picture.
struct SoundProject {
    QTemporaryDir dir;
    kelvane::testing::ScriptedPrompt prompt{true};
    MediaDocumentServices services{prompt};
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};
    bool made = false;

    SoundProject() {
        const QString wav = dir.filePath(QStringLiteral("tone.wav"));
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:d=1 '" + wav.toStdString() + "'";
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString bmp = dir.filePath(QStringLiteral("red.bmp"));
        FileSelection selection;
        const std::vector<std::u16string> paths = {wav.toStdU16String(), bmp.toStdU16String()};
        made = std::system(command.c_str()) == 0 && picture.save(bmp, "BMP") &&
               doc.Files().AddDroppedFiles(paths, selection) &&
               doc.Timeline().DropFile(0, 0, 0, false) &&
               doc.Timeline().DropFile(0, 1, 10, false) &&
               doc.Timeline().DropFile(0, 0, 20, false) && doc.Templates().DropFile(0, 0) &&
               doc.Templates().DropFile(1, 1);
    }

    const Track& track() const { return doc.GetProject().tracks[0]; }
    void pick(std::initializer_list<uint32_t> indices) {
        doc.Timeline().Select(0, [&](uint32_t i, const TrackEvent&) {
            return std::find(indices.begin(), indices.end(), i) != indices.end();
        });
    }
};

struct SoundFields {
    bool volumeEnabled = false;
    bool muteEnabled = false;
    QString volume;
    Qt::CheckState mute = Qt::Unchecked;
};

// Answers the next event dialog: records its sound fields, runs `change`, then OK.
void answerEventDialog(SoundFields& seen, std::function<void(QWidget*)> change = {}) {
    dialogs::answerModal(kTitle, [&seen, change](QWidget* dialog) {
        auto* volume = dialog->findChild<QLineEdit*>(QStringLiteral("音量(%)"));
        auto* mute = dialog->findChild<QCheckBox*>(QStringLiteral("ミュート"));
        seen = {volume->isEnabled(), mute->isEnabled(), volume->text(), mute->checkState()};
        if (change) {
            change(dialog);
        }
        static_cast<QDialog*>(dialog)->accept();
    });
}

void typeVolume(QWidget* dialog, const QString& text) {
    dialogs::setField(dialog, QStringLiteral("音量(%)"), text);
}

void setMute(QWidget* dialog, Qt::CheckState state) {
    dialog->findChild<QCheckBox*>(QStringLiteral("ミュート"))->setCheckState(state);
}

}  // namespace

class EventSoundFieldsTest : public QObject {
    Q_OBJECT
  private slots:
    void oneEventWithSoundIsSetJournalledAndUndoneAsOneStep() {
        SoundProject p;
        QVERIFY(p.made);
        p.doc.EnableRecovery(
            QFile::encodeName(p.dir.filePath(QStringLiteral("recovery"))).toStdString());
        p.pick({0});
        SoundFields seen;
        answerEventDialog(seen, [](QWidget* dialog) {
            typeVolume(dialog, QStringLiteral("37.5"));
            setMute(dialog, Qt::Checked);
        });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QVERIFY(seen.volumeEnabled && seen.muteEnabled);
        QCOMPARE(seen.volume, QStringLiteral("100"));
        QCOMPARE(seen.mute, Qt::Unchecked);
        QCOMPARE(p.track().ExtrasAt(0).volume, 0.375f);
        QCOMPARE(p.track().ExtrasAt(0).audioFlags, uint32_t(kAudioMuted));
        QVERIFY(p.track().ExtrasAt(2).IsDefault());

        // A crash now restores the values from the journal.
        QFile journal(QString::fromStdString(p.doc.Journal()->FilePath()));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QByteArray bytes = journal.readAll();
        std::unique_ptr<Project> restored = Project::Create();
        journal::Recovered info;
        QCOMPARE(journal::Read(reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size()),
                               info, restored.get()),
                 journal::ReadResult::Restorable);
        QCOMPARE(restored->tracks[0].ExtrasAt(0), p.track().ExtrasAt(0));

        // The dialog shows the stored values again; OK without a change keeps them exactly.
        answerEventDialog(seen);
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QCOMPARE(seen.volume, QStringLiteral("37.5"));
        QCOMPARE(seen.mute, Qt::Checked);
        QCOMPARE(p.track().ExtrasAt(0).volume, 0.375f);

        p.doc.Undo();  // the unchanged OK
        p.doc.Undo();  // the volume and the mute
        QVERIFY(p.track().ExtrasAt(0).IsDefault());
        QVERIFY(!p.track().HasExtras());
    }

    void aFileWithoutSoundLeavesTheFieldsDisabledAndTheExtrasAlone() {
        SoundProject p;
        QVERIFY(p.made);
        p.pick({1});
        SoundFields seen;
        answerEventDialog(seen, [](QWidget* dialog) { typeVolume(dialog, QStringLiteral("50")); });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QVERIFY(!seen.volumeEnabled);
        QVERIFY(!seen.muteEnabled);
        QVERIFY(!p.track().HasExtras());

        // Typing the ID of a file with sound enables them, and the value goes with the new file.
        answerEventDialog(seen, [](QWidget* dialog) {
            auto* volume = dialog->findChild<QLineEdit*>(QStringLiteral("音量(%)"));
            dialogs::setField(dialog, QStringLiteral("ファイルID"), QStringLiteral("0"));
            QVERIFY(volume->isEnabled());
            typeVolume(dialog, QStringLiteral("400"));
        });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QCOMPARE(p.track().EventSpan()[1].fileId, 0);
        QCOMPARE(p.track().ExtrasAt(1).volume, 4.0f);
    }

    void severalEventsKeepWhatIsLeftBlank() {
        SoundProject p;
        QVERIFY(p.made);
        // Event 0 muted at 50 %, event 2 at 200 %.
        p.pick({0});
        SoundFields seen;
        answerEventDialog(seen, [](QWidget* dialog) {
            typeVolume(dialog, QStringLiteral("50"));
            setMute(dialog, Qt::Checked);
        });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        p.pick({2});
        answerEventDialog(seen, [](QWidget* dialog) { typeVolume(dialog, QStringLiteral("200")); });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));

        // All three, the picture among them: blank and undetermined, enabled as two of them sound.
        p.pick({0, 1, 2});
        answerEventDialog(seen);
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QVERIFY(seen.volumeEnabled);
        QVERIFY(seen.volume.isEmpty());
        QCOMPARE(seen.mute, Qt::PartiallyChecked);
        QCOMPARE(p.track().ExtrasAt(0).volume, 0.5f);
        QCOMPARE(p.track().ExtrasAt(0).audioFlags, uint32_t(kAudioMuted));
        QCOMPARE(p.track().ExtrasAt(2).volume, 2.0f);
        QCOMPARE(p.track().ExtrasAt(2).audioFlags, 0u);

        // Only the mute filled in: the volumes stay each their own, and the picture takes none.
        answerEventDialog(seen, [](QWidget* dialog) { setMute(dialog, Qt::Checked); });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QCOMPARE(p.track().ExtrasAt(0).volume, 0.5f);
        QCOMPARE(p.track().ExtrasAt(2).volume, 2.0f);
        QCOMPARE(p.track().ExtrasAt(2).audioFlags, uint32_t(kAudioMuted));
        QVERIFY(p.track().ExtrasAt(1).IsDefault());
    }

    void aVolumeOutOfRangeIsRefusedAndTheDialogStays() {
        SoundProject p;
        QVERIFY(p.made);
        p.pick({0});
        QString refusal;
        dialogs::answerModal(kTitle, [&](QWidget* dialog) {
            typeVolume(dialog, QStringLiteral("400.5"));
            dialogs::answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
                refusal = dialogs::messageText(box);
                static_cast<QDialog*>(box)->accept();
                // Back in the dialog, which stayed open: a value in range then.
                dialogs::answerModal(kTitle, [](QWidget* again) {
                    typeVolume(again, QStringLiteral("0"));
                    static_cast<QDialog*>(again)->accept();
                });
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(editTrackEventProperties(nullptr, p.doc, 0, false));
        QCOMPARE(refusal, QStringLiteral("0 から 400 までの数字を入力してください。"));
        QCOMPARE(p.track().ExtrasAt(0).volume, 0.0f);
    }

    void templatesTakeTheSameFields() {
        SoundProject p;
        QVERIFY(p.made);
        p.doc.Templates().Select([](uint32_t slot, const EventTemplate&) { return slot == 0; });
        SoundFields seen;
        answerEventDialog(seen, [](QWidget* dialog) {
            typeVolume(dialog, QStringLiteral("25"));
            setMute(dialog, Qt::Checked);
        });
        QVERIFY(editTemplateProperties(nullptr, p.doc));
        QVERIFY(seen.volumeEnabled);
        QCOMPARE(p.doc.GetProject().templateExtras[0].volume, 0.25f);
        QCOMPARE(p.doc.GetProject().templateExtras[0].audioFlags, uint32_t(kAudioMuted));

        p.doc.Templates().Select([](uint32_t slot, const EventTemplate&) { return slot == 1; });
        answerEventDialog(seen);
        QVERIFY(editTemplateProperties(nullptr, p.doc));
        QVERIFY(!seen.volumeEnabled);

        p.doc.Undo();
        p.doc.Undo();
        QVERIFY(p.doc.GetProject().templateExtras[0].IsDefault());
    }
};

QTEST_MAIN(EventSoundFieldsTest)
#include "event_sound_fields_test.moc"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "media/MediaDocumentServices.h"
#include "model/Clipboard.h"
#include "model/Document.h"
#include "support/ScriptedPrompt.h"
#include "ui/dialogs/FilePropertiesDialog.h"
#include "ui/dialogs/FontChoices.h"
#include "ui/dialogs/ModalAnswer.h"
#include "ui/dialogs/ProjectPropertiesDialog.h"
#include "ui/dialogs/PropertyDialogs.h"

using namespace kelvane;
using dialogs::answerModal;
using dialogs::messageText;
using dialogs::setField;

namespace {

const QString kProjectTitle = QStringLiteral("プロジェクトのプロパティ");

struct DocumentFixture {
    kelvane::testing::ScriptedPrompt prompt{true};
    MediaDocumentServices services{prompt};
    MemoryClipboard clipboard;
    Document doc{services, prompt, clipboard};

    DocumentFixture() {
        TrackEvent event{};
        event.flags = kEventUsed | kEventParametric;
        event.start = 300;
        event.step = 333333;
        event.scale = 1;
        doc.Timeline().Insert(0, event, false);
        ProjectSettingsForm form = doc.Settings().FormForDialog();
        form.length = u"900";
        doc.Settings().Apply(form);
        doc.SetModified(false);
    }
};

FilePropertiesForm textForm() {
    FilePropertiesForm form;
    form.id = 4;
    form.useText = true;
    form.text = u"字幕";
    form.red = 10;
    form.font.weight = 0;
    form.font.height = 24;
    form.font.charSet = 128;
    std::copy_n(u"Serif JP", 9, form.font.faceName);
    return form;
}

std::vector<FontRecord> testFonts() {
    return {{QStringLiteral("Latin"), 0, QStringLiteral("Sans")},
            {QStringLiteral("Latin"), 0, QStringLiteral("Serif JP")},
            {QStringLiteral("Japanese"), 128, QStringLiteral("Gothic JP")},
            {QStringLiteral("Japanese"), 128, QStringLiteral("Serif JP")}};
}

}  // namespace

class ProjectAndFileDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void projectSizeAndRateChangeAsOneUndoableStep() {
        DocumentFixture f;
        answerModal(kProjectTitle, [](QWidget* dialog) {
            setField(dialog, QStringLiteral("出力の幅"), QStringLiteral("1280"));
            setField(dialog, QStringLiteral("出力の高さ"), QStringLiteral("720"));
            setField(dialog, QStringLiteral("フレームレート"), QStringLiteral("24"));
            setField(dialog, QStringLiteral("背景色(RGB) B"), QStringLiteral("255"));
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(editProjectSettings(nullptr, f.doc));
        const ProjectSettings& s = f.doc.GetProject().settings;
        QCOMPARE(s.width, 1280u);
        QCOMPARE(s.height, 720u);
        QCOMPARE(s.frameRate, 24.0);
        QCOMPARE(s.background, 0x00FF0000u);
        QCOMPARE(f.prompt.questions.size(), size_t(1));  // the rate question, answered OK
        QCOMPARE(f.doc.GetProject().tracks[0].EventSpan()[0].start, 240u);
        QCOMPARE(s.length, 720u);
        QVERIFY(f.doc.IsModified());
        f.doc.Undo();
        QCOMPARE(f.doc.GetProject().settings.width, 320u);
        QCOMPARE(f.doc.GetProject().settings.frameRate, 30.0);
        QCOMPARE(f.doc.GetProject().tracks[0].EventSpan()[0].start, 300u);
    }

    void refusedHeightKeepsTheDialogOpenAndChangesNothing() {
        DocumentFixture f;
        const size_t undoBefore = f.doc.CanUndo();
        QStringList messages;
        QString focusAfter;
        answerModal(kProjectTitle, [&](QWidget* dialog) {
            setField(dialog, QStringLiteral("出力の幅"), QStringLiteral("640"));
            setField(dialog, QStringLiteral("出力の高さ"), QStringLiteral("4097"));
            answerModal(QStringLiteral("エラー"), [&, dialog](QWidget* box) {
                messages << messageText(box);
                static_cast<QMessageBox*>(box)->accept();
                QTimer::singleShot(0, dialog, [&, dialog] {
                    focusAfter =
                        dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
                    QVERIFY(dialog->isVisible());  // still open after the message
                    static_cast<QDialog*>(dialog)->reject();
                });
            });
            dialog->findChild<QPushButton*>(QStringLiteral("OK"))->click();
        });
        QVERIFY(!editProjectSettings(nullptr, f.doc));
        QCOMPARE(messages,
                 QStringList{QStringLiteral("1 から 4096 までの整数を入力してください。")});
        QCOMPARE(focusAfter, QStringLiteral("出力の高さ"));
        QCOMPARE(f.doc.GetProject().settings.width, 320u);
        QVERIFY(!f.doc.IsModified());
        QCOMPARE(size_t(f.doc.CanUndo()), undoBefore);
    }

    void projectFieldsAreCheckedInOrderWithTheirMessages() {
        struct Case {
            QString field;
            QString text;
            QString message;
        } cases[] = {
            {QStringLiteral("出力の高さ"), QStringLiteral("0"),
             QStringLiteral("1 から 4096 までの整数を入力してください。")},
            {QStringLiteral("出力の幅"), QStringLiteral("-3"),
             QStringLiteral("正の整数を入力してください。")},
            {QStringLiteral("フレームレート"), QStringLiteral("0.0001"),
             QStringLiteral("0.001 から 1000 までの数字を入力してください。")},
            {QStringLiteral("フレームレート"), QStringLiteral("fast"),
             QStringLiteral("数字を入力してください。")},
            {QStringLiteral("背景色(RGB) G"), QStringLiteral("300"),
             QStringLiteral("0 から 255 までの整数を入力してください。")},
            {QStringLiteral("ファイルの基準パス"), QString(260, u'a'),
             QStringLiteral("259 文字以内で入力してください。")},
        };
        ProjectSettingsForm form;
        form.width = 320;
        form.height = 240;
        form.frameRate = 29.97;
        form.length = u"1";
        for (const Case& c : cases) {
            ProjectPropertiesDialog dialog(nullptr, form);
            setField(&dialog, c.field, c.text);
            const auto refusal = dialog.readControls();
            QVERIFY2(refusal.has_value(), qPrintable(c.field + c.text));
            QCOMPARE(refusal->message, c.message);
            QCOMPARE(refusal->field->objectName(), c.field);
        }
        // An untouched rate keeps the exact double, so OK alone never asks about rescaling.
        form.frameRate = 1.0 / 3.0;
        ProjectPropertiesDialog dialog(nullptr, form);
        QVERIFY(!dialog.readControls());
        QCOMPARE(dialog.form().frameRate, 1.0 / 3.0);
    }

    void fileDialogTurnsTheFontChoiceIntoTheLogFont() {
        FilePropertiesDialog dialog(nullptr, textForm(), {}, testFonts());
        auto* script = dialog.findChild<QComboBox*>(QStringLiteral("言語"));
        auto* face = dialog.findChild<QComboBox*>(QStringLiteral("フォント名"));
        auto* weight = dialog.findChild<QComboBox*>(QStringLiteral("太さ"));
        QCOMPARE(script->currentText(), QStringLiteral("Japanese"));  // same character set
        QCOMPARE(face->currentText(), QStringLiteral("Serif JP"));
        QCOMPARE(weight->currentText(), QStringLiteral("4（標準）"));
        QVERIFY(
            !dialog.findChild<QLineEdit*>(QStringLiteral("使用するファイルのパス"))->isEnabled());
        QVERIFY(dialog.findChild<QLineEdit*>(QStringLiteral("色(RGB) R"))->isEnabled());

        script->setCurrentText(QStringLiteral("Latin"));
        QCOMPARE(face->currentText(), QStringLiteral("Sans"));  // the script's first face
        weight->setCurrentIndex(6);
        setField(&dialog, QStringLiteral("サイズ"), QStringLiteral("0"));  // accepted for text
        dialog.findChild<QCheckBox*>(QStringLiteral("斜体"))->setChecked(true);
        QVERIFY(!dialog.readControls());
        const LogFont& font = dialog.form().font;
        QCOMPARE(font.height, 0);
        QCOMPARE(font.weight, 700);
        QCOMPARE(font.italic, uint8_t(1));
        QCOMPARE(font.charSet, uint8_t(0));
        QCOMPARE(QString::fromUtf16(font.faceName), QStringLiteral("Sans"));
        QCOMPARE(dialog.form().red, uint8_t(10));

        setField(&dialog, QStringLiteral("サイズ"), QStringLiteral("1025"));
        QCOMPARE(dialog.readControls()->message,
                 QStringLiteral("0 から 1024 までの整数を入力してください。"));
        setField(&dialog, QStringLiteral("ファイルID"), QStringLiteral("1024"));
        QCOMPARE(dialog.readControls()->message,
                 QStringLiteral("0 から 1023 までの整数を入力してください。"));
    }

    // A new text starts legible: a Japanese Gothic face, the Japanese character set, 48 px; the
    // project dialog tells the length in seconds as it is typed.
    void newTextsAndLengthsStartAsPeopleExpect() {
        const LogFont preferred = defaultTextFont(
            {{QStringLiteral("Latin"), 0, QStringLiteral("Math Symbols")},
             {QStringLiteral("Japanese"), 128, QStringLiteral("Some Mincho")},
             {QStringLiteral("Japanese"), 128, QStringLiteral("Noto Sans CJK JP")}});
        QCOMPARE(faceOf(preferred), QStringLiteral("Noto Sans CJK JP"));
        QCOMPARE(preferred.charSet, uint8_t(128));
        QCOMPARE(preferred.height, 48);
        QCOMPARE(preferred.weight, 400);
        const LogFont anyJapanese =
            defaultTextFont({{QStringLiteral("Latin"), 0, QStringLiteral("Math Symbols")},
                             {QStringLiteral("Japanese"), 128, QStringLiteral("Some Mincho")}});
        QCOMPARE(faceOf(anyJapanese), QStringLiteral("Some Mincho"));
        QCOMPARE(defaultTextFont({}).charSet, uint8_t(128));

        // "ファイルの追加" opens the dialog on a free slot with that font.
        DocumentFixture f;
        QString size;
        QString script;
        answerModal(QStringLiteral("ファイルのプロパティ"), [&](QWidget* dialog) {
            size = dialog->findChild<QLineEdit*>(QStringLiteral("サイズ"))->text();
            script = dialog->findChild<QComboBox*>(QStringLiteral("言語"))->currentText();
            static_cast<QDialog*>(dialog)->reject();
        });
        FileSelection selection;
        editFileProperties(nullptr, f.doc, 5, selection);
        QCOMPARE(size, QStringLiteral("48"));
        QCOMPARE(script, QFontDatabase::writingSystemName(QFontDatabase::Japanese));

        ProjectSettingsForm form = f.doc.Settings().FormForDialog();
        ProjectPropertiesDialog dialog(nullptr, form);
        QCOMPARE(dialog.lengthSecondsText(), QStringLiteral("= 30.000 秒"));  // 900 at 30 fps
        setField(&dialog, QStringLiteral("動画の長さ"), QStringLiteral("0:02.5"));
        QCOMPARE(dialog.lengthSecondsText(), QStringLiteral("= 2.500 秒"));
        setField(&dialog, QStringLiteral("フレームレート"), QStringLiteral("60"));
        setField(&dialog, QStringLiteral("動画の長さ"), QStringLiteral("90"));
        QCOMPARE(dialog.lengthSecondsText(), QStringLiteral("= 1.500 秒"));
        setField(&dialog, QStringLiteral("動画の長さ"), QStringLiteral("x"));
        QCOMPARE(dialog.lengthSecondsText(), QStringLiteral("= ? 秒"));
    }

    void fileDialogEnablesTheColourOnlyForATransparentFile() {
        FilePropertiesForm form;
        form.path = u"/tmp/clip.avi";
        FilePropertiesDialog dialog(nullptr, form, {}, testFonts());
        auto* red = dialog.findChild<QLineEdit*>(QStringLiteral("色(RGB) R"));
        auto* transparent = dialog.findChild<QCheckBox*>(QStringLiteral("透明色を使用"));
        QVERIFY(!red->isEnabled());
        QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("表示するテキスト"))->isEnabled());
        transparent->click();
        QVERIFY(red->isEnabled());
        dialog.findChild<QCheckBox*>(QStringLiteral("ファイルではなくテキストを使用する"))->click();
        QVERIFY(!transparent->isEnabled());
        QVERIFY(
            !dialog.findChild<QLineEdit*>(QStringLiteral("使用するファイルのパス"))->isEnabled());
    }

    // Alpha is offered where the loaded file has it, or for another file until it is loaded; the
    // nested project's background for nested projects; smooth edges for texts.
    void fileDialogOffersThePixelFlagsThatFitTheEntry() {
        FilePropertiesForm form;
        form.kind = FileKind::Image;
        form.path = u"/tmp/plain.bmp";
        FilePropertiesDialog plain(nullptr, form, {}, testFonts());
        auto check = [](QDialog& d, const char* name) {
            return d.findChild<QCheckBox*>(QString::fromUtf8(name));
        };
        QVERIFY(check(plain, "アルファチャンネルを使用(A)") != nullptr);
        QCOMPARE(check(plain, "アルファチャンネルを使用(A)")->accessibleName(),
                 QStringLiteral("アルファチャンネルを使用(A)"));
        QVERIFY(!check(plain, "アルファチャンネルを使用(A)")->isEnabled());
        QVERIFY(!check(plain, "背景を透明にする(T)")->isEnabled());
        QVERIFY(!check(plain, "輪郭をなめらかにする(M)")->isEnabled());
        setField(&plain, QStringLiteral("使用するファイルのパス"),
                 QStringLiteral("/tmp/other.png"));
        QVERIFY(check(plain, "アルファチャンネルを使用(A)")->isEnabled());
        QVERIFY(check(plain, "背景を透明にする(T)")->isEnabled());

        form.path = u"/tmp/logo.png";
        form.alphaAvailable = true;
        form.pixelFlags = kPixelUseAlpha;
        FilePropertiesDialog logo(nullptr, form, {}, testFonts());
        QVERIFY(check(logo, "アルファチャンネルを使用(A)")->isEnabled());
        QVERIFY(check(logo, "アルファチャンネルを使用(A)")->isChecked());
        check(logo, "アルファチャンネルを使用(A)")->click();
        QVERIFY(!logo.readControls());
        QCOMPARE(logo.form().pixelFlags, 0u);

        FilePropertiesDialog text(nullptr, textForm(), {}, testFonts());
        QVERIFY(check(text, "輪郭をなめらかにする(M)")->isEnabled());
        check(text, "輪郭をなめらかにする(M)")->setChecked(true);
        QVERIFY(!text.readControls());
        QCOMPARE(text.form().pixelFlags & kPixelSmoothText, kPixelSmoothText);
    }

    // The loaded file's sound stream as stored: codec, channels and rate; "なし" for a movie
    // without one, no line at all for a picture.
    void fileDialogShowsTheSoundStreamOfTheLoadedFile() {
        QTemporaryDir dir;
        auto at = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=32x24:d=1 -f lavfi "
            "-i sine=d=1:sample_rate=44100 -map 0 -map 1 -c:v mpeg4 -c:a aac -ac 2 -ar 48000 '" +
            at("talk.mp4").toStdString() + "' -map 0 -c:v mpeg4 '" + at("mute.mp4").toStdString() +
            "' -map 1 -c:a pcm_s16le -ac 1 '" + at("tone.wav").toStdString() + "'";
        QVERIFY(std::system(command.c_str()) == 0);
        QImage still(4, 4, QImage::Format_RGB32);
        still.fill(Qt::blue);
        QVERIFY(still.save(at("still.bmp"), "BMP"));
        DocumentFixture f;
        FileSelection selection;
        std::vector<std::u16string> paths;
        for (const char* name : {"talk.mp4", "mute.mp4", "tone.wav", "still.bmp"}) {
            paths.push_back(at(name).toStdU16String());
        }
        QVERIFY(f.doc.Files().AddDroppedFiles(paths, selection));
        const QString expected[] = {QStringLiteral("音声: aac, 2 ch, 48000 Hz"),
                                    QStringLiteral("音声: なし"),
                                    QStringLiteral("音声: pcm_s16le, 1 ch, 44100 Hz"), QString()};
        for (uint32_t id = 0; id < 4; ++id) {
            QString shown;
            QString name;
            bool visible = true;
            answerModal(QStringLiteral("ファイルのプロパティ"), [&](QWidget* dialog) {
                auto* label = dialog->findChild<QLabel*>(QStringLiteral("音声"));
                shown = label->text();
                name = label->accessibleName();
                visible = label->isVisible();
                static_cast<QDialog*>(dialog)->reject();
            });
            editFileProperties(nullptr, f.doc, id, selection);
            QCOMPARE(shown, expected[id]);
            QCOMPARE(name, expected[id]);
            QCOMPARE(visible, !expected[id].isEmpty());
        }
    }

    void aMissingEffectModuleLeavesThePathAsItWas() {
        FilePropertiesForm form;
        form.path = u"/nonexistent/effects.so>Blur";
        FilePropertiesDialog dialog(nullptr, form, {}, testFonts());
        QString message;
        answerModal(QStringLiteral("エラー"), [&](QWidget* box) {
            message = messageText(box);
            static_cast<QMessageBox*>(box)->accept();
        });
        dialog.findChild<QPushButton*>(QStringLiteral("効果の一覧を表示"))->click();
        QCOMPARE(message, QStringLiteral("効果の読み込みに失敗しました。"));
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("使用するファイルのパス"))->text(),
                 QStringLiteral("/nonexistent/effects.so>Blur"));
    }
};

QTEST_MAIN(ProjectAndFileDialogsTest)
#include "project_and_file_dialogs_test.moc"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>
#include <cstring>

#include "render/EventGeometry.h"
#include "ui/dialogs/EventPropertiesDialog.h"
#include "ui/dialogs/EventPropertyValues.h"

using namespace kelvane;

namespace {

constexpr RefTime kFrame30 = 333333;  // one frame at 30 frames per second

TrackEvent sampleEvent() {
    TrackEvent e{};
    e.flags = kEventUsed | kEventParametric;
    e.start = 12;
    e.fileId = 3;
    e.drawMethod = 2;
    e.position = 75 * kRefTimePerSecond + 1234567;  // 01:15.1234567
    e.step = kFrame30;
    e.left = -4;
    e.top = 5;
    e.right = 640;
    e.bottom = 480;
    e.colour = 0x00112233;  // opacity byte 0 = 256
    e.blendMode = 4;
    e.referenceX = 1.0f / 3.0f;  // needs more than six digits
    e.referenceY = 2;
    e.scale = 1.5f;
    e.rotation = 30;
    e.positionX = 100;
    e.positionY = -7.25f;
    BuildParametricMatrices(e);
    return e;
}

RefTime movieOfFile7(int32_t id) {
    return id == 7 ? 400000 : 0;  // file 7 is a 25 fps movie, the others are pictures
}

QLineEdit* edit(QDialog& dialog, const QString& name) {
    auto* found = dialog.findChild<QLineEdit*>(name);
    if (found == nullptr) {
        qFatal("no edit named %s", qPrintable(name));
    }
    return found;
}

void type(QLineEdit* field, const QString& text) {
    field->setText(text);
    emit field->textEdited(text);
}

}  // namespace

class EventPropertiesTest : public QObject {
    Q_OBJECT
  private slots:
    void fillingShowsTheEventAsTheDialogFormatsIt() {
        const EventPropertyValues v = eventPropertiesFrom(sampleEvent(), kFrame30, true);
        QCOMPARE(v.start, QStringLiteral("12"));
        QCOMPARE(v.position, QStringLiteral("01:15.1234567"));
        QCOMPARE(formatSpeed(v.speed), QStringLiteral("1"));
        QCOMPARE(v.argb[0], 256u);
        QCOMPARE(v.argb[1], 0x33u);
        QCOMPARE(v.argb[3], 0x11u);
        QCOMPARE(v.matrixCheck, int(kTriOff));
        QVERIFY(eventPropertiesFrom(sampleEvent(), kFrame30, false).start.isEmpty());
        TrackEvent matrixEvent = sampleEvent();
        matrixEvent.flags = kEventUsed;
        QCOMPARE(eventPropertiesFrom(matrixEvent, kFrame30, true).matrixCheck, int(kTriOn));
        // A slot that is not in use is shown with its parameters.
        matrixEvent.flags = 0;
        QCOMPARE(eventPropertiesFrom(matrixEvent, kFrame30, true).matrixCheck, int(kTriOff));
    }

    void startAndPositionReadAsFramesTimesAndMovieFrames() {
        struct Case {
            const char16_t* start;
            uint32_t frame;
        } cases[] = {{u"90", 90}, {u"0:03", 90}, {u"3.5", 105}, {u"abc", 12}};
        for (const Case& c : cases) {
            EventPropertyValues v;
            v.start = QString::fromUtf16(c.start);
            TrackEvent e = sampleEvent();
            applyEventProperties(v, e, kFrame30, movieOfFile7);
            QCOMPARE(e.start, c.frame);
        }
        // A bare count is movie frames: only when the file (after the ID change) is a movie.
        EventPropertyValues v;
        v.position = QStringLiteral("120");
        TrackEvent picture = sampleEvent();
        applyEventProperties(v, picture, kFrame30, movieOfFile7);
        QCOMPARE(picture.position, sampleEvent().position);
        v.fileId = 7;
        TrackEvent movie = sampleEvent();
        applyEventProperties(v, movie, kFrame30, movieOfFile7);
        QCOMPARE(movie.position, RefTime(120) * 400000);
        QCOMPARE(movie.fileId, 7);
    }

    void blankMultiEditOnlySetsUsed() {
        TrackEvent e = sampleEvent();
        e.flags = kEventSelected | kEventInterpolate;
        TrackEvent before = e;
        applyEventProperties(EventPropertyValues{}, e, kFrame30, movieOfFile7);
        before.flags |= kEventUsed;
        QVERIFY(std::memcmp(&e, &before, sizeof e) == 0);
    }

    void coloursSpeedAndMatrixAreWrittenBack() {
        EventPropertyValues v;
        v.argb[0] = 256;
        v.argb[2] = 0xAB;
        v.speed = -2.5;
        v.interpolate = kTriOn;
        v.blendMode = 6;
        v.matrixCheck = kTriOn;
        const float m[9] = {2, 0, 10, 0, 4, 20, 0, 0, 1};
        std::copy(m, m + 9, v.matrix);
        TrackEvent e = sampleEvent();
        e.colour = 0x7F112233;
        applyEventProperties(v, e, kFrame30, movieOfFile7);
        QCOMPARE(e.colour, 0x0011AB33u);
        QCOMPARE(e.step, RefTime(-833332));  // truncated toward zero
        QVERIFY(e.flags & kEventInterpolate);
        QVERIFY(!(e.flags & kEventParametric));
        QCOMPARE(e.blendMode, 6);
        QCOMPARE(e.inverse[0], 0.5f);
        QCOMPARE(e.inverse[2], -5.0f);
        QCOMPARE(e.inverse[5], -5.0f);
    }

    void okWithoutEditsKeepsEveryValueExactly() {
        // Values printed with six digits would change when read back; untouched fields do not.
        const TrackEvent original = sampleEvent();
        EventPropertiesDialog dialog(nullptr, eventPropertiesFrom(original, kFrame30, true), false);
        QVERIFY(!dialog.readControls());
        TrackEvent e = original;
        applyEventProperties(dialog.values(), e, kFrame30, movieOfFile7);
        QVERIFY(std::memcmp(&e, &original, sizeof e) == 0);

        type(edit(dialog, QStringLiteral("拡大率")), QStringLiteral("2"));
        QVERIFY(!dialog.readControls());
        applyEventProperties(dialog.values(), e, kFrame30, movieOfFile7);
        QCOMPARE(e.scale, 2.0f);
        QCOMPARE(e.referenceX, original.referenceX);
    }

    void outOfRangeValuesAreRefusedWithTheirMessage() {
        struct Case {
            QString field;
            QString text;
            QString message;
        } cases[] = {
            {QStringLiteral("不透明度と色(ARGB) A"), QStringLiteral("0"),
             QStringLiteral("1 から 256 までの整数を入力してください。")},
            {QStringLiteral("不透明度と色(ARGB) G"), QStringLiteral("256"),
             QStringLiteral("0 から 255 までの整数を入力してください。")},
            {QStringLiteral("ファイルID"), QStringLiteral("1024"),
             QStringLiteral("0 から 1023 までの整数を入力してください。")},
            {QStringLiteral("再生速度"), QStringLiteral("70000"),
             QStringLiteral("-65536 から 65536 までの数字を入力してください。")},
        };
        for (const Case& c : cases) {
            EventPropertiesDialog dialog(nullptr, EventPropertyValues{}, true);
            type(edit(dialog, c.field), c.text);
            const auto refusal = dialog.readControls();
            QVERIFY2(refusal.has_value(), qPrintable(c.field));
            QCOMPARE(refusal->message, c.message);
            QCOMPARE(refusal->field, edit(dialog, c.field));
        }
        // Unreadable text is no refusal: the field keeps the events' value.
        EventPropertiesDialog dialog(nullptr, EventPropertyValues{}, true);
        type(edit(dialog, QStringLiteral("不透明度と色(ARGB) A")), QStringLiteral("x"));
        QVERIFY(!dialog.readControls());
        QCOMPARE(dialog.values().argb[0], kKeepUnsigned);
    }

    void multiEditStartsBlankAndUndetermined() {
        EventPropertiesDialog dialog(nullptr, eventPropertiesFrom(sampleEvent(), kFrame30, true),
                                     true);
        QVERIFY(edit(dialog, QStringLiteral("開始位置"))->text().isEmpty());
        QVERIFY(edit(dialog, QStringLiteral("変換行列 11"))->text().isEmpty());
        auto* matrixCheck = dialog.findChild<QCheckBox*>(QStringLiteral("変換行列を指定する"));
        QCOMPARE(matrixCheck->checkState(), Qt::PartiallyChecked);
        QVERIFY(!edit(dialog, QStringLiteral("拡大率"))->isEnabled());
        QVERIFY(!edit(dialog, QStringLiteral("変換行列 11"))->isEnabled());
        QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("描画方法"))->currentIndex(), 5);
        QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("合成方法"))->currentIndex(), 7);
        QVERIFY(!dialog.readControls());
        TrackEvent e = sampleEvent();
        const TrackEvent before = e;
        applyEventProperties(dialog.values(), e, kFrame30, movieOfFile7);
        QVERIFY(std::memcmp(&e, &before, sizeof e) == 0);
    }

    void soundValuesGoToTheExtrasAndBackToTheDefaults() {
        EventExtras extras;
        extras.volume = 0.5f;
        extras.audioFlags = kAudioMuted;
        const EventPropertyValues shown =
            eventPropertiesFrom(sampleEvent(), kFrame30, true, extras);
        QCOMPARE(formatVolume(shown.volumePercent), QStringLiteral("50"));
        QCOMPARE(shown.mute, int(kTriOn));
        applySoundProperties(EventPropertyValues{}, extras);
        QCOMPARE(extras.volume, 0.5f);
        QVERIFY(!changesSound(EventPropertyValues{}));
        // Back to 100 % and unmuted is the default itself, which the project file leaves out.
        EventPropertyValues v;
        v.volumePercent = 100;
        v.mute = kTriOff;
        applySoundProperties(v, extras);
        QVERIFY(extras.IsDefault());
    }

    void switchingToTheMatrixShowsTheParametersMatrix() {
        EventPropertiesDialog dialog(nullptr, eventPropertiesFrom(sampleEvent(), kFrame30, true),
                                     false);
        type(edit(dialog, QStringLiteral("回転角")), QStringLiteral("90"));
        auto* matrixCheck = dialog.findChild<QCheckBox*>(QStringLiteral("変換行列を指定する"));
        matrixCheck->click();
        QVERIFY(edit(dialog, QStringLiteral("変換行列 11"))->isEnabled());
        QVERIFY(!edit(dialog, QStringLiteral("回転角"))->isEnabled());
        float expected[9];
        float parameters[kParameterCount] = {1.0f / 3.0f, 2, 1.5f, 90, 100, -7.25f};
        parameters[0] = 0.333333f;  // as the six-digit field reads back
        matrixFromParameters(parameters, expected);
        QCOMPARE(edit(dialog, QStringLiteral("変換行列 12"))->text(),
                 formatMatrixValue(expected[1]));
        type(edit(dialog, QStringLiteral("変換行列 13")), QStringLiteral("50"));
        QVERIFY(!dialog.readControls());
        TrackEvent e = sampleEvent();
        applyEventProperties(dialog.values(), e, kFrame30, movieOfFile7);
        QVERIFY(!(e.flags & kEventParametric));
        QCOMPARE(e.matrix[2], 50.0f);
        float inverse[9];
        InvertMatrix(e.matrix, inverse);
        QVERIFY(std::memcmp(inverse, e.inverse, sizeof inverse) == 0);
    }
};

QTEST_MAIN(EventPropertiesTest)
#include "event_properties_test.moc"

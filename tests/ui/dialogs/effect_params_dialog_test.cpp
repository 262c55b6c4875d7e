#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>
#include <cstring>

#include "ui/dialogs/EffectParamsDialog.h"

using namespace kelvane;

namespace {

void name(EffectParamInfo& info, const char16_t* text) {
    for (size_t i = 0; text[i] != 0; ++i)
        info.name[i] = text[i];
}

// One parameter of every type.
std::vector<EffectParamInfo> everyType() {
    std::vector<EffectParamInfo> infos(5);
    for (auto& info : infos)
        std::memset(&info, 0, sizeof(info));
    infos[0].type = KELVANE_PARAM_NUMBER;
    infos[0].decimals = 1;
    infos[0].maximum = 10;
    infos[0].defaults[0] = 2;
    name(infos[0], u"量");
    const char16_t tip[] = u"どれだけ掛けるか";
    std::memcpy(infos[0].explanation, tip, sizeof(tip));
    infos[1].type = KELVANE_PARAM_ON_OFF;
    infos[1].defaults[0] = 1;
    name(infos[1], u"有効");
    infos[2].type = KELVANE_PARAM_COLOUR;
    name(infos[2], u"色");
    infos[3].type = KELVANE_PARAM_POSITION;
    infos[3].defaults[0] = 0.5;
    infos[3].defaults[1] = 0.5;
    name(infos[3], u"中心");
    infos[4].type = KELVANE_PARAM_TEXT;
    name(infos[4], u"文字");
    return infos;
}

}  // namespace

class EffectParamsDialogTest : public QObject {
    Q_OBJECT
  private slots:
    void controlsChangeOnlyWhatTheUserTouches() {
        const std::vector<EffectParamInfo> infos = everyType();
        EffectParamEdits shown = EffectParamEdits(infos.size());
        shown[0] = EffectParamDefaults(infos)[0];
        // The others differ among the selected events: blank, kept until changed.
        EffectParamsDialog dialog(nullptr, infos, shown);
        int reported = 0;
        dialog.setChangeListener([&](const EffectParamEdits&) { ++reported; });
        auto* amount = dialog.findChild<QLineEdit*>(QStringLiteral("量 値"));
        auto* slider = dialog.findChild<QSlider*>();
        auto* on = dialog.findChild<QCheckBox*>(QStringLiteral("有効"));
        auto* x = dialog.findChild<QLineEdit*>(QStringLiteral("中心 X"));
        QVERIFY(amount && slider && on && x);
        QCOMPARE(amount->text(), QStringLiteral("2.0"));
        QCOMPARE(amount->toolTip(), QStringLiteral("どれだけ掛けるか"));
        QCOMPARE(on->checkState(), Qt::PartiallyChecked);
        QVERIFY(x->text().isEmpty());
        for (const auto& edit : dialog.edits())
            QVERIFY(!edit);

        // A typed number beyond the range is kept within it; the slider follows.
        amount->setText(QStringLiteral("25"));
        emit amount->editingFinished();
        QCOMPARE(amount->text(), QStringLiteral("10.0"));
        QCOMPARE(slider->value(), 1000);
        slider->setValue(500);
        QCOMPARE(amount->text(), QStringLiteral("5.0"));
        // Only one of the position's fields typed: the other still keeps, so nothing is set.
        x->setText(QStringLiteral("0.25"));
        emit x->editingFinished();
        on->click();
        QCOMPARE(on->checkState(), Qt::Checked);

        EffectParamEdits edits = dialog.edits();
        QVERIFY(edits[0] && edits[0]->numbers[0] == 5);
        QVERIFY(edits[1] && edits[1]->numbers[0] == 1);
        QVERIFY(!edits[2] && !edits[3] && !edits[4]);
        QCOMPARE(reported, 3);

        // Back to the default, which counts as a change.
        auto* reset = dialog.findChild<QPushButton*>(QStringLiteral("既定値に戻す"));
        QVERIFY(reset);
        reset->click();
        QCOMPARE(amount->text(), QStringLiteral("2.0"));
        QVERIFY(dialog.edits()[0] && dialog.edits()[0]->numbers[0] == 2);
    }

    void theStoredListKeepsOnlyWhatDiffersFromTheDefaults() {
        const std::vector<EffectParamInfo> infos = everyType();
        EffectParamEdits edits(infos.size());
        EffectParamValue text;
        text.type = KELVANE_PARAM_TEXT;
        text.text = "abc";
        edits[4] = text;
        EffectParamValue same = EffectParamDefaults(infos)[0];
        edits[0] = same;
        EffectParamList stored;
        EffectParamValue centre = EffectParamDefaults(infos)[3];
        centre.numbers[0] = 0.1;
        stored.push_back(centre);
        auto kept = ApplyEffectParamEdits(infos, &stored, edits);
        QVERIFY(kept);
        QCOMPARE(kept->size(), size_t(2));
        QCOMPARE((*kept)[0].index, 3u);
        QCOMPARE((*kept)[1].text, std::string("abc"));
        // Everything back at its default: nothing to store.
        EffectParamEdits back(infos.size());
        back[3] = EffectParamDefaults(infos)[3];
        back[4] = EffectParamDefaults(infos)[4];
        QVERIFY(!ApplyEffectParamEdits(infos, kept.get(), back));
    }
};

QTEST_MAIN(EffectParamsDialogTest)
#include "effect_params_dialog_test.moc"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QtTest>

#include "ui/dialogs/EffectSelectionDialog.h"
#include "ui/dialogs/ModalAnswer.h"

using namespace kelvane;

class EffectSelectionTest : public QObject {
    Q_OBJECT
  private slots:
    void theListPicksByPrefixAndWritesTheChosenName() {
        // The effect module the build puts beside the programs.
        const QString module =
            QCoreApplication::applicationDirPath() + QStringLiteral("/effect.so");
        if (!QFileInfo::exists(module)) {
            QSKIP("the effect module is not built");
        }
        QString initial;
        QString description;
        int count = 0;
        dialogs::answerModal(QStringLiteral("効果の選択"), [&](QWidget* window) {
            auto* dialog = static_cast<EffectSelectionDialog*>(window);
            auto* effects = dialog->findChild<QComboBox*>(QStringLiteral("効果"));
            count = effects->count();
            initial = dialog->chosenName();
            description = dialog->descriptionText();
            effects->setCurrentIndex(effects->findText(QStringLiteral("色の反転")));
            dialog->accept();
        });
        // The current name is matched as a prefix, ignoring case; the module path stays as typed.
        const QString result =
            chooseEffect(nullptr, module + QStringLiteral(">モザイク"), QString(), QString());
        QCOMPARE(count, 10);
        QCOMPARE(initial, QStringLiteral("モザイク（小）"));
        QCOMPARE(description.split(u'\n').size(), 3);
        QVERIFY(description.startsWith(QStringLiteral("モザイク（小）\n領域を8ピクセル四方")));
        QCOMPARE(result, module + QStringLiteral(">色の反転"));

        // Cancel leaves the field as it was.
        dialogs::answerModal(QStringLiteral("効果の選択"),
                             [](QWidget* window) { static_cast<QDialog*>(window)->reject(); });
        QCOMPARE(chooseEffect(nullptr, module, QString(), QString()), module);

        // An empty field lists the default module's effects and names that module.
        int defaultCount = 0;
        dialogs::answerModal(QStringLiteral("効果の選択"), [&](QWidget* window) {
            auto* effects = window->findChild<QComboBox*>(QStringLiteral("効果"));
            defaultCount = effects->count();
            effects->setCurrentIndex(effects->findText(QStringLiteral("色の反転")));
            static_cast<QDialog*>(window)->accept();
        });
        const QString chosen = chooseEffect(nullptr, QString(), QString(), QString());
        QCOMPARE(defaultCount, 10);
        QVERIFY2(chosen.endsWith(QStringLiteral("effect.so>色の反転")), qPrintable(chosen));
    }

    void theFilterNarrowsTheListInModuleOrder() {
        const QString module =
            QCoreApplication::applicationDirPath() + QStringLiteral("/effect.so");
        if (!QFileInfo::exists(module)) {
            QSKIP("the effect module is not built");
        }
        QStringList narrowed, none;
        QString kept, emptyDescription;
        dialogs::answerModal(QStringLiteral("効果の選択"), [&](QWidget* window) {
            auto* dialog = static_cast<EffectSelectionDialog*>(window);
            auto* effects = dialog->findChild<QComboBox*>(QStringLiteral("効果"));
            auto* filter = dialog->findChild<QLineEdit*>(QStringLiteral("絞り込み"));
            effects->setCurrentIndex(effects->findText(QStringLiteral("モザイク（中）")));
            filter->setText(QStringLiteral("モザイク"));
            for (int i = 0; i < effects->count(); ++i)
                narrowed << effects->itemText(i);
            kept = dialog->chosenName();  // still listed: still chosen
            filter->setText(QStringLiteral("no such effect"));
            for (int i = 0; i < effects->count(); ++i)
                none << effects->itemText(i);
            emptyDescription = dialog->descriptionText();
            filter->setText(QStringLiteral("ぼかし（強"));
            dialog->accept();
        });
        const QString result = chooseEffect(nullptr, module, QString(), QString());
        QCOMPARE(narrowed,
                 (QStringList{QStringLiteral("モザイク（小）"), QStringLiteral("モザイク（中）"),
                              QStringLiteral("モザイク（大）")}));
        QCOMPARE(kept, QStringLiteral("モザイク（中）"));
        QVERIFY(none.isEmpty());
        QVERIFY(emptyDescription.isEmpty());
        QCOMPARE(result, module + QStringLiteral(">ぼかし（強）"));
    }
};

QTEST_MAIN(EffectSelectionTest)
#include "effect_selection_test.moc"

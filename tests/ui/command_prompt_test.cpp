#include <QtTest>

#include "ui/commands/CommandId.h"

class CommandPromptTest : public QObject {
    Q_OBJECT
  private slots:
    void programCommandsAreNamedStandardOnesAreNot() {
        QCOMPARE(commandPrompt(CommandId::ExportAvi), QStringLiteral("AVIファイルの作成"));
        QCOMPARE(commandPrompt(CommandId::PresetStability), QStringLiteral("安定性優先"));
        QVERIFY(commandPrompt(CommandId::FileNew).isEmpty());
    }
};

QTEST_MAIN(CommandPromptTest)
#include "command_prompt_test.moc"

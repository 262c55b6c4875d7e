#include "ui/shell/StartUp.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/EngineProcess.h"
#include "ui/shell/Shell.h"

namespace {

// The window speaks Japanese whatever the desktop's language: Qt's own buttons and file dialogs
// too, through Qt's Japanese translation.
void useJapanese(QApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

QString projectArgument(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].isEmpty()) {
            return arguments[i];
        }
    }
    return {};
}

}  // namespace

int runKelvane(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    // Outside a desktop that names its icon theme the toolbar still finds its pictures.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    useJapanese(app);

    kelvane::EngineProcess process{kelvane::ProcessOptions{}};
    process.Start();
    int status = 0;
    {
        Shell shell(process.State());
        const QString project = projectArgument(QApplication::arguments());
        if (!project.isEmpty() && !shell.openStartupProject(project)) {
            status = 1;
        } else {
            shell.show();
            shell.offerRecovery();
            status = QApplication::exec();
        }
    }
    process.Shutdown();
    return status;
}

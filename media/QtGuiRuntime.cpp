#include "media/QtGuiRuntime.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>

namespace kelvane {

namespace {

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

bool EnsureGuiApplication() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        return qobject_cast<QGuiApplication*>(app) != nullptr;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !HasDisplay())
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    // The application keeps argc and argv for its whole life, and it lives to the end of the
    // process: destroying it at exit would race the destruction of Qt's own globals.
    static int argc = 1;
    static char name[] = "kelvane";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    return app != nullptr;
}

}  // namespace kelvane

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

// The application keeps argc and argv for its whole life.
int argc = 1;
char name[] = "kelvane";
char* argv[] = {name, nullptr};
QGuiApplication* ownApp = nullptr;

}  // namespace

bool EnsureGuiApplication() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        // By name, not qobject_cast: the command-line tool maps Qt GUI only when text is drawn,
        // and the cast would need its meta-object at start.
        return app->inherits("QGuiApplication");
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !HasDisplay())
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ownApp = new QGuiApplication(argc, argv);
    return true;
}

void ReleaseGuiApplication() {
    delete ownApp;
    ownApp = nullptr;
}

}  // namespace kelvane

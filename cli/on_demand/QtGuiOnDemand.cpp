// Qt GUI mapped on the first call, as FFmpeg is (FfmpegOnDemand.cpp): only a project with text
// draws fonts, and Qt GUI brings about thirty libraries of its own (fonts, shaping, X, EGL).
#include <dlfcn.h>

#include <QtGlobal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

extern "C" {
// Defined by the generated QtGuiTrampolines.S.
extern void* kelvane_qtgui_slots[];
extern const char* const kelvane_qtgui_names[];
void* kelvane_qtgui_resolve(size_t index);
}

namespace {

#define KELVANE_STRINGIFY_(x) #x
#define KELVANE_STRINGIFY(x) KELVANE_STRINGIFY_(x)

constexpr const char* kLibrary = "libQt6Gui.so." KELVANE_STRINGIFY(QT_VERSION_MAJOR);

std::once_flag g_opened;
void* g_handle = nullptr;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "kelvane-render: %s\n", what.c_str());
    std::_Exit(EXIT_FAILURE);
}

void OpenLibrary() {
    // Global: the platform plug-in Qt loads later finds the same library by its own needs anyway.
    g_handle = dlopen(kLibrary, RTLD_NOW | RTLD_GLOBAL);
    if (g_handle == nullptr) {
        const char* why = dlerror();
        Fail(std::string("Qt GUI のライブラリを読み込めません: ") + (why ? why : kLibrary));
    }
}

}  // namespace

extern "C" void* kelvane_qtgui_resolve(size_t index) {
    std::call_once(g_opened, OpenLibrary);
    const char* name = kelvane_qtgui_names[index];
    void* f = dlsym(g_handle, name);
    if (f == nullptr) {
        Fail(std::string("Qt GUI の関数が見つかりません: ") + name);
    }
    __atomic_store_n(&kelvane_qtgui_slots[index], f, __ATOMIC_RELEASE);
    return f;
}

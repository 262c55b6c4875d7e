// FFmpeg mapped on the first call. Every FFmpeg function kelvane-render calls is defined in this
// executable as a trampoline (FfmpegTrampolines.S, generated from symbols.txt) that jumps through
// a slot. A slot first points at a stub that lands here: the libraries are opened once, the
// function is looked up, the slot is set and the call goes on with its arguments untouched. A run
// that never calls FFmpeg (--help, a project without movies) never maps its ~130 libraries.
#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "cli/on_demand/FfmpegOnDemand.h"

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}

extern "C" {
// Defined by the generated FfmpegTrampolines.S.
extern void* kelvane_ffmpeg_slots[];
extern const char* const kelvane_ffmpeg_names[];
void* kelvane_ffmpeg_resolve(size_t index);
}

namespace kelvane::cli {

namespace {

#define KELVANE_STRINGIFY_(x) #x
#define KELVANE_STRINGIFY(x) KELVANE_STRINGIFY_(x)

// The libraries of the FFmpeg the program was built against; libavformat brings libavcodec and
// libavutil with it.
constexpr const char* kLibraries[] = {
    "libavformat.so." KELVANE_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
    "libswscale.so." KELVANE_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libswresample.so." KELVANE_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    "libavcodec.so." KELVANE_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavutil.so." KELVANE_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
};
constexpr size_t kLibraryCount = sizeof kLibraries / sizeof kLibraries[0];

std::once_flag g_opened;
void* g_handles[kLibraryCount] = {};
std::mutex g_levelLock;
bool g_loaded = false;
bool g_levelSet = false;
int g_level = 0;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "kelvane-render: %s\n", what.c_str());
    std::_Exit(EXIT_FAILURE);
}

void* Lookup(const char* name) {
    for (void* handle : g_handles) {
        if (void* f = dlsym(handle, name)) {
            return f;
        }
    }
    return nullptr;
}

void OpenLibraries() {
    for (size_t i = 0; i < kLibraryCount; ++i) {
        g_handles[i] = dlopen(kLibraries[i], RTLD_NOW | RTLD_LOCAL);
        if (g_handles[i] == nullptr) {
            const char* why = dlerror();
            Fail(std::string("FFmpeg のライブラリを読み込めません: ") +
                 (why ? why : kLibraries[i]));
        }
    }
    using SetLevel = void (*)(int);
    const auto set = reinterpret_cast<SetLevel>(Lookup("av_log_set_level"));
    std::lock_guard<std::mutex> guard(g_levelLock);
    if (g_levelSet && set != nullptr) {
        set(g_level);
    }
    g_loaded = true;
}

}  // namespace

void SetFfmpegLogLevel(int level) {
    std::unique_lock<std::mutex> guard(g_levelLock);
    g_level = level;
    g_levelSet = true;
    if (g_loaded) {
        guard.unlock();
        reinterpret_cast<void (*)(int)>(Lookup("av_log_set_level"))(level);
    }
}

void KeepFfmpegLoaded() {
    for (const char* library : kLibraries) {
        // Only if loaded already; from then on never unloaded.
        dlopen(library, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

}  // namespace kelvane::cli

extern "C" void* kelvane_ffmpeg_resolve(size_t index) {
    using namespace kelvane::cli;
    std::call_once(g_opened, OpenLibraries);
    const char* name = kelvane_ffmpeg_names[index];
    void* f = Lookup(name);
    if (f == nullptr) {
        Fail(std::string("FFmpeg の関数が見つかりません: ") + name);
    }
    __atomic_store_n(&kelvane_ffmpeg_slots[index], f, __ATOMIC_RELEASE);
    return f;
}

// Stand-in until the platform layer's own implementation lands; drop at merge.
#include "platform/DynamicModule.h"

#include <dlfcn.h>

#include <string>

namespace kelvane {

namespace {

std::string NativeModulePath(std::u16string_view path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        uint32_t c = path[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c == u'\\')
            c = u'/';
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

DynamicModule::~DynamicModule() {
    Unload();
}

DynamicModule::DynamicModule(DynamicModule&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
}

DynamicModule& DynamicModule::operator=(DynamicModule&& other) noexcept {
    if (this != &other) {
        Unload();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool DynamicModule::Load(std::u16string_view path) {
    Unload();
    if (path.empty() || path.find(u'\0') != std::u16string_view::npos)
        return false;
    std::string native = NativeModulePath(path);
    // A bare name would send dlopen searching the library path; modules are named by path.
    if (native.find('/') == std::string::npos)
        native = "./" + native;
    handle_ = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void DynamicModule::Unload() {
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

void* DynamicModule::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace kelvane

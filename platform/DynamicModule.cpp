#include "platform/DynamicModule.h"

#include <dlfcn.h>

#include <string>

#include "platform/Path.h"

namespace kelvane {

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
    // dlopen of an empty name would hand back the program itself.
    if (path.empty()) {
        return false;
    }
    const std::string native = ToNativePath(path);
    handle_ = ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void DynamicModule::Unload() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicModule::Symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) {
        return nullptr;
    }
    return ::dlsym(handle_, name);
}

}  // namespace kelvane

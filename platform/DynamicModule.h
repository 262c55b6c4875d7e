#pragma once

#include <string_view>

namespace kelvane {

// A shared library loaded at run time. Unloaded on destruction; movable, not copyable.
class DynamicModule {
  public:
    DynamicModule() = default;
    ~DynamicModule();
    DynamicModule(const DynamicModule&) = delete;
    DynamicModule& operator=(const DynamicModule&) = delete;
    DynamicModule(DynamicModule&& other) noexcept;
    DynamicModule& operator=(DynamicModule&& other) noexcept;

    // Unloads what was held first; false (and nothing held) when the library cannot be loaded.
    bool Load(std::u16string_view path);
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }
    // Null when the module has no such export.
    void* Symbol(const char* name) const;

    template <typename Function>
    Function Lookup(const char* name) const {
        return reinterpret_cast<Function>(Symbol(name));
    }

  private:
    void* handle_ = nullptr;
};

}  // namespace kelvane

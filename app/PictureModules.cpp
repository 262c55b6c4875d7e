#include "app/PictureModules.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/Path.h"

namespace kelvane {

namespace {

bool HasPluginExtension(const std::string& name) {
    constexpr std::string_view kExtension = ".spi";
    if (name.size() < kExtension.size()) {
        return false;
    }
    std::string_view tail = std::string_view(name).substr(name.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

}  // namespace

std::vector<DynamicModule> LoadPictureModules(std::u16string_view folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(ToNativePath(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code statError;
        if (HasPluginExtension(name) && it->is_regular_file(statError)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());

    std::vector<DynamicModule> modules(names.size());
    const std::u16string prefix = std::u16string(folder) + u"/";
    for (size_t i = 0; i < names.size(); ++i) {
        modules[i].Load(prefix + FromUtf8(names[i]));
    }
    return modules;
}

}  // namespace kelvane

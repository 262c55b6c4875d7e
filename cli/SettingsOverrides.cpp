#include "cli/SettingsOverrides.h"

#include <unistd.h>

#include <strings.h>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>

#include "app/ProcessState.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "platform/ProfileFile.h"
#include "render/DrawThreadPool.h"

namespace kelvane::cli {

namespace {

struct SettingKey {
    const char* name;
    bool isText;
};

constexpr std::array<SettingKey, 13> kKeys{{
    {"CallbackTimeout", false},
    {"ForceReferenceTime", false},
    {"ReadEverySample", false},
    {"AbortTimeout", false},
    {"FramePrev", false},
    {"FrameBack", false},
    {"FrameNext", false},
    {"PixelQuality", false},
    {"TextImageMode", false},
    {"ReloadFailedFrame", false},
    {"DefaultEffectDll", true},
    {"InstructionLevel", false},
    {"DrawFrameThread", false},
}};

const SettingKey* FindKey(std::string_view key) {
    for (const SettingKey& k : kKeys) {
        if (key.size() == std::char_traits<char>::length(k.name) &&
            ::strncasecmp(key.data(), k.name, key.size()) == 0) {
            return &k;
        }
    }
    return nullptr;
}

bool IsInt32(std::string_view value) {
    const char* begin = value.data();
    const char* end = begin + value.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && *begin == '-') {
            return false;
        }
    }
    int32_t parsed = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, parsed);
    return begin != end && ec == std::errc() && ptr == end;
}

// A private file below the temporary folder, removed on destruction.
class ScratchProfile {
  public:
    ScratchProfile() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/kelvane-render-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            path_ = pattern;
        }
    }
    ~ScratchProfile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    ScratchProfile(const ScratchProfile&) = delete;
    ScratchProfile& operator=(const ScratchProfile&) = delete;

    bool Created() const { return !path_.empty(); }
    std::u16string Path() const { return FromUtf8(path_); }

  private:
    std::string path_;
};

}  // namespace

bool ParseSettingOverride(std::string_view text, SettingOverride& out, std::string& error) {
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "--set には KEY=VALUE の形で指定してください: " + std::string(text);
        return false;
    }
    const std::string_view key = text.substr(0, equals);
    const std::string_view value = text.substr(equals + 1);
    const SettingKey* known = FindKey(key);
    if (known == nullptr) {
        error = "不明な設定項目です: " + std::string(key);
        return false;
    }
    if (known->isText) {
        const std::u16string units = FromUtf8(value);
        if (units.size() >= kPathUnits || value.find_first_of("\r\n") != std::string_view::npos) {
            error = std::string(known->name) + " の値が長すぎるか改行を含みます。";
            return false;
        }
    } else if (!IsInt32(value)) {
        error = std::string(known->name) + " には整数を指定してください: " + std::string(value);
        return false;
    }
    out.key = known->name;
    out.value = std::string(value);
    return true;
}

bool ApplySettingOverrides(ProcessState& state, const std::vector<SettingOverride>& overrides) {
    if (overrides.empty()) {
        return true;
    }
    // The overrides go into a copy of the INI file, never into the file itself.
    std::vector<uint8_t> original;
    if (!ReadWholeFile(state.IniPath(), original)) {
        original.clear();  // no INI file yet: every other value takes its default
    }
    ScratchProfile scratch;
    if (!scratch.Created() || !WriteWholeFile(scratch.Path(), original.data(), original.size())) {
        return false;
    }
    ProfileFile merged(scratch.Path());
    for (const SettingOverride& o : overrides) {
        if (!merged.WriteString(kSettingsSection, o.key, FromUtf8(o.value))) {
            return false;
        }
    }
    AppSettings& settings = state.CurrentSettings();
    const int32_t threadsBefore = settings.drawFrameThread;
    ReadSettings(settings, merged, state.HasVectorTier());
    if (settings.drawFrameThread != threadsBefore) {
        DestroyDrawThreadPool();
        if (!CreateDrawThreadPool(uint32_t(settings.drawFrameThread))) {
            settings.drawFrameThread = 0;  // as a preset does: draw on the calling thread
        }
    }
    return true;
}

}  // namespace kelvane::cli

#include "ui/lists/PreviewFlag.h"

namespace kelvane {

namespace {
constexpr const char* kKey = "Preview";
}

PreviewFlag::PreviewFlag(ProfileFile& profile, const char* section)
    : profile_(profile), section_(section), on_(profile.ReadInt(section, kKey, 1) != 0) {}

void PreviewFlag::set(bool on) {
    on_ = on;
    profile_.WriteInt(section_, kKey, on ? 1 : 0);
}

}  // namespace kelvane

#include "ui/lists/PreviewFlag.h"

namespace kelvane {

PreviewFlag::PreviewFlag(ProfileFile& profile, const char* section, const char* key)
    : profile_(profile), section_(section), key_(key), on_(profile.ReadInt(section, key, 1) != 0) {}

void PreviewFlag::set(bool on) {
    on_ = on;
    profile_.WriteInt(section_, key_, on ? 1 : 0);
}

}  // namespace kelvane

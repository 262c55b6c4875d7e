#pragma once

#include <cstdint>

namespace kelvane {

// What an update of the views says has changed; views combine the flags and ignore the ones
// that do not concern them.
enum class UpdateHint : uint32_t {
    None = 0,
    Preview = 1,
    FileList = 2,
    Templates = 4,  // the event list, which shows the template slots
    Timeline = 8,
    All = 0xFFFFFFFF,  // after new, open, save, undo, redo, settings and file-table changes
};

constexpr UpdateHint operator|(UpdateHint a, UpdateHint b) {
    return UpdateHint(uint32_t(a) | uint32_t(b));
}

constexpr UpdateHint operator&(UpdateHint a, UpdateHint b) {
    return UpdateHint(uint32_t(a) & uint32_t(b));
}

// True when `hint` carries any flag of `flags`.
constexpr bool HasHint(UpdateHint hint, UpdateHint flags) {
    return (uint32_t(hint) & uint32_t(flags)) != 0;
}

}  // namespace kelvane

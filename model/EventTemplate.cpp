#include "model/EventTemplate.h"

namespace kelvane {

char16_t TemplateKeyLabel(size_t slot) {
    static constexpr char16_t kKeys[] = u"1234567890ASDFGHJKLZXCVBNM";
    constexpr size_t kKeyed = sizeof(kKeys) / sizeof(kKeys[0]) - 1;
    static_assert(kKeyed == 26);
    return slot < kKeyed ? kKeys[slot] : u' ';
}

}  // namespace kelvane

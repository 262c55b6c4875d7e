#include "app/settings/AppSettings.h"

namespace kelvane {

AppSettings& Settings() {
    static AppSettings settings;
    return settings;
}

}  // namespace kelvane

#include "app/Settings.h"

namespace orvik {

Settings::Settings(const std::string& storeFolder) : SettingsBase(storeFolder) {
    Load();
}

Settings::~Settings() = default;

} // namespace orvik

#pragma once

#include "app/SettingsBase.h"

#include <string>

namespace orvik {

// The application's settings: made first at start-up, it loads the cached
// keys at once. Tests give it a store folder of their own; the application
// uses the settings folder of this machine.
class Settings : public SettingsBase {
public:
    explicit Settings(const std::string& storeFolder = std::string());
    ~Settings() override;

    // A hook for later kinds of settings; it does nothing here.
    virtual void Extend() {}
};

} // namespace orvik

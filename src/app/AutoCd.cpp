#include "app/AutoCd.h"

#include "app/DiagnosticsLog.h"
#include "platform/registry/Registry.h"

#include <string>

namespace orvik {

namespace {
// The key's default value has the empty name.
constexpr const char* kDefaultValue = "";
} // namespace

bool AutoCd::Disable(Registry& registry) {
    RegistryKey key = registry.OpenKey(RegistryTree::localMachine, kKeyPath, false);
    if (!key.IsOpen()) {
        LogMessage("DisableAutoCd:: could not open registry key\n");
        return false;
    }
    std::string command;
    if (!key.QueryText(kDefaultValue, command) || command.empty())
        return true;
    if (!key.SetText(kSavedValue, command)) {
        LogMessage("DisableAutoCd:: could not save command string\n");
        return true;
    }
    if (!key.SetText(kDefaultValue, ""))
        LogMessage("DisableAutoCd:: could not clear command string\n");
    return true;
}

bool AutoCd::Enable(Registry& registry) {
    RegistryKey key = registry.OpenKey(RegistryTree::localMachine, kKeyPath, false);
    if (!key.IsOpen()) {
        LogMessage("EnableAutoCd:: could not open registry key\n");
        return false;
    }
    std::string command;
    if (key.QueryText(kDefaultValue, command) && !command.empty()) {
        LogMessage("EnableAutoCd:: play command not null\n");
        return true;
    }
    std::string saved;
    key.QueryText(kSavedValue, saved);
    if (!key.SetText(kDefaultValue, saved)) {
        LogMessage("EnableAutoCd:: could not restore command string\n");
        return true;
    }
    // A missing "save" has nothing to delete.
    if (key.QueryType(kSavedValue) != RegistryKey::ValueType::none && !key.DeleteValue(kSavedValue))
        LogMessage("EnableAutoCd:: could not delete saved value\n");
    return true;
}

} // namespace orvik

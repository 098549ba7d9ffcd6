#pragma once

#include "platform/registry/RegistryStore.h"

#include <map>
#include <string>
#include <string_view>

namespace orvik {

// A profile file of "[section]" lines and "key=value" lines, such as the CD
// player's title file "cdplayer.ini". Section and key names compare without
// regard to ASCII case; the first occurrence of a key in a section counts.
// Values are taken whole, without the white space around them.
class IniFile {
public:
    // Reads the file; false (and nothing loaded) when it cannot be read.
    bool Load(const std::string& path, std::string* error = nullptr);
    void Parse(std::string_view text);

    // The value, or `fallback` when the section or key is missing.
    std::string Get(std::string_view section, std::string_view key,
                    std::string_view fallback = {}) const;
    bool Has(std::string_view section, std::string_view key) const;

    // Files larger than this are not profile files.
    static constexpr size_t kMaxFileBytes = 4u << 20;

private:
    using Section = std::map<std::string, std::string, RegistryStore::NoCaseLess>;
    std::map<std::string, Section, RegistryStore::NoCaseLess> sections_;
};

} // namespace orvik

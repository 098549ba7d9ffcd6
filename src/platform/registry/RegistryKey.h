#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

class RegistryFile;

// An open key of one registry tree (Registry::OpenKey). Each call reads or
// changes the tree at once; nothing is cached in the key. A key whose tree
// entry was deleted in the meantime reads nothing and is made again by the
// next write.
class RegistryKey {
public:
    enum class ValueType { none, number, text };

    RegistryKey() = default;
    RegistryKey(RegistryFile* file, std::vector<std::string> path);

    bool IsOpen() const { return file_ != nullptr; }
    // The key's path, components joined with '/'.
    std::string Path() const;

    ValueType QueryType(std::string_view name) const;
    // False when the value is missing or of the other type.
    bool QueryNumber(std::string_view name, uint32_t& value) const;
    bool QueryText(std::string_view name, std::string& value) const;

    // False when the key is not open or the store could not be saved.
    bool SetNumber(std::string_view name, uint32_t value);
    bool SetText(std::string_view name, std::string_view value);
    // False when there was no such value (or the change could not be saved).
    bool DeleteValue(std::string_view name);

    // Names of the subkeys and values, in a stable order (ASCII case-blind).
    std::vector<std::string> SubKeyNames() const;
    std::vector<std::string> ValueNames() const;

    // A subkey of this key; see Registry::OpenKey.
    RegistryKey OpenSubKey(std::string_view path, bool create) const;
    // Deletes a subkey with everything below it; false when there was none.
    bool DeleteSubKey(std::string_view name);

private:
    RegistryFile* file_ = nullptr;
    std::vector<std::string> path_;
};

} // namespace orvik

#include "platform/registry/RegistryKey.h"

#include "platform/registry/RegistryFile.h"

namespace orvik {

RegistryKey::RegistryKey(RegistryFile* file, std::vector<std::string> path)
    : file_(file), path_(std::move(path)) {}

std::string RegistryKey::Path() const {
    return RegistryStore::JoinPath(path_);
}

RegistryKey::ValueType RegistryKey::QueryType(std::string_view name) const {
    ValueType type = ValueType::none;
    if (!file_)
        return type;
    file_->Read([&](const RegistryStore& store) {
        const RegistryStore::Key* key = store.Find(path_);
        if (!key)
            return;
        auto it = key->values.find(name);
        if (it != key->values.end())
            type = it->second.type == RegistryStore::Value::numberType ? ValueType::number
                                                                       : ValueType::text;
    });
    return type;
}

bool RegistryKey::QueryNumber(std::string_view name, uint32_t& value) const {
    bool found = false;
    if (!file_)
        return false;
    file_->Read([&](const RegistryStore& store) {
        const RegistryStore::Key* key = store.Find(path_);
        if (!key)
            return;
        auto it = key->values.find(name);
        if (it != key->values.end() && it->second.type == RegistryStore::Value::numberType) {
            value = it->second.number;
            found = true;
        }
    });
    return found;
}

bool RegistryKey::QueryText(std::string_view name, std::string& value) const {
    bool found = false;
    if (!file_)
        return false;
    file_->Read([&](const RegistryStore& store) {
        const RegistryStore::Key* key = store.Find(path_);
        if (!key)
            return;
        auto it = key->values.find(name);
        if (it != key->values.end() && it->second.type == RegistryStore::Value::textType) {
            value = it->second.text;
            found = true;
        }
    });
    return found;
}

bool RegistryKey::SetNumber(std::string_view name, uint32_t value) {
    if (!file_)
        return false;
    return file_->Modify([&](RegistryStore& store) {
        RegistryStore::Key& key = store.Create(path_);
        auto it = key.values.find(name);
        if (it != key.values.end() && it->second.type == RegistryStore::Value::numberType &&
            it->second.number == value)
            return false;
        RegistryStore::Value v;
        v.type = RegistryStore::Value::numberType;
        v.number = value;
        if (it != key.values.end())
            it->second = std::move(v);
        else
            key.values.emplace(std::string(name), std::move(v));
        return true;
    });
}

bool RegistryKey::SetText(std::string_view name, std::string_view value) {
    if (!file_)
        return false;
    return file_->Modify([&](RegistryStore& store) {
        RegistryStore::Key& key = store.Create(path_);
        auto it = key.values.find(name);
        if (it != key.values.end() && it->second.type == RegistryStore::Value::textType &&
            it->second.text == value)
            return false;
        RegistryStore::Value v;
        v.type = RegistryStore::Value::textType;
        v.text = std::string(value);
        if (it != key.values.end())
            it->second = std::move(v);
        else
            key.values.emplace(std::string(name), std::move(v));
        return true;
    });
}

bool RegistryKey::DeleteValue(std::string_view name) {
    if (!file_)
        return false;
    bool found = false;
    bool saved = file_->Modify([&](RegistryStore& store) {
        RegistryStore::Key* key = store.Find(path_);
        if (!key)
            return false;
        auto it = key->values.find(name);
        if (it == key->values.end())
            return false;
        key->values.erase(it);
        found = true;
        return true;
    });
    return found && saved;
}

std::vector<std::string> RegistryKey::SubKeyNames() const {
    std::vector<std::string> names;
    if (!file_)
        return names;
    file_->Read([&](const RegistryStore& store) {
        if (const RegistryStore::Key* key = store.Find(path_))
            for (auto& [name, sub] : key->subkeys)
                names.push_back(name);
    });
    return names;
}

std::vector<std::string> RegistryKey::ValueNames() const {
    std::vector<std::string> names;
    if (!file_)
        return names;
    file_->Read([&](const RegistryStore& store) {
        if (const RegistryStore::Key* key = store.Find(path_))
            for (auto& [name, value] : key->values)
                names.push_back(name);
    });
    return names;
}

RegistryKey RegistryKey::OpenSubKey(std::string_view path, bool create) const {
    if (!file_)
        return RegistryKey();
    std::vector<std::string> parts = RegistryStore::SplitPath(path);
    if (parts.empty())
        return RegistryKey();
    std::vector<std::string> full = path_;
    full.insert(full.end(), parts.begin(), parts.end());
    bool exists = false;
    if (create) {
        file_->Modify([&](RegistryStore& store) {
            if (store.Find(full))
                return false;
            store.Create(full);
            return true;
        });
        exists = true;
    } else {
        file_->Read([&](const RegistryStore& store) { exists = store.Find(full) != nullptr; });
    }
    return exists ? RegistryKey(file_, std::move(full)) : RegistryKey();
}

bool RegistryKey::DeleteSubKey(std::string_view name) {
    if (!file_)
        return false;
    std::vector<std::string> parts = RegistryStore::SplitPath(name);
    if (parts.empty())
        return false;
    std::vector<std::string> full = path_;
    full.insert(full.end(), parts.begin(), parts.end());
    bool found = false;
    bool saved = file_->Modify([&](RegistryStore& store) {
        found = store.Remove(full);
        return found;
    });
    return found && saved;
}

} // namespace orvik

#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace orvik {

// The saved fields of an object by name, for tools that show a project
// (`orvik dump --json`). Object references appear as the referenced object's
// class name and are described by the caller separately.
struct FieldList {
    using Value = std::variant<int64_t, double, std::string>;
    std::vector<std::pair<std::string, Value>> fields;

    void Add(const std::string& name, int64_t v) { fields.emplace_back(name, Value(v)); }
    void Add(const std::string& name, double v) { fields.emplace_back(name, Value(v)); }
    void Add(const std::string& name, const std::string& v) { fields.emplace_back(name, Value(v)); }
};

} // namespace orvik

#include "platform/registry/RegistryStore.h"

#include <cstdio>

namespace orvik {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Escapes the bytes that would break a line or a quoted field.
void AppendEscaped(std::string& out, std::string_view bytes, char closing) {
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\' || c == closing) {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += c;
        }
    }
}

// Reads an escaped field from `line` at `pos` up to the unescaped `closing`
// character; `pos` ends after it. False with a reason on a bad field.
bool ReadEscaped(std::string_view line, size_t& pos, char closing, std::string& out,
                 std::string& reason) {
    out.clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == closing)
            return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= line.size())
            break;
        char e = line[pos++];
        switch (e) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x': {
            int hi = pos < line.size() ? HexDigit(line[pos]) : -1;
            int lo = pos + 1 < line.size() ? HexDigit(line[pos + 1]) : -1;
            if (hi < 0 || lo < 0) {
                reason = "bad \\x escape";
                return false;
            }
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
            break;
        }
        default:
            if (e == '\\' || e == '"' || e == ']') {
                out += e;
                break;
            }
            reason = std::string("unknown escape \\") + e;
            return false;
        }
    }
    reason = "unterminated field";
    return false;
}

void SkipSpaces(std::string_view line, size_t& pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
}

void FormatKey(std::string& out, const RegistryStore::Key& key, std::vector<std::string>& path) {
    for (auto& [name, sub] : key.subkeys) {
        path.push_back(name);
        out += "\n[";
        std::string joined;
        for (size_t i = 0; i < path.size(); ++i) {
            if (i)
                joined += '/';
            AppendEscaped(joined, path[i], ']');
        }
        out += joined;
        out += "]\n";
        for (auto& [valueName, value] : sub.values) {
            out += RegistryStore::Quote(valueName);
            out += '=';
            if (value.type == RegistryStore::Value::numberType) {
                char hex[24];
                snprintf(hex, sizeof hex, "dword:%08x", value.number);
                out += hex;
            } else {
                out += RegistryStore::Quote(value.text);
            }
            out += '\n';
        }
        FormatKey(out, sub, path);
        path.pop_back();
    }
}

} // namespace

bool RegistryStore::NoCaseLess::operator()(std::string_view a, std::string_view b) const {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(Lower(a[i]));
        unsigned char y = static_cast<unsigned char>(Lower(b[i]));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

std::vector<std::string> RegistryStore::SplitPath(std::string_view path) {
    std::vector<std::string> out;
    std::string part;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!part.empty())
                out.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        out.push_back(std::move(part));
    return out;
}

std::string RegistryStore::JoinPath(const std::vector<std::string>& components) {
    std::string out;
    for (size_t i = 0; i < components.size(); ++i) {
        if (i)
            out += '/';
        out += components[i];
    }
    return out;
}

const RegistryStore::Key* RegistryStore::Find(const std::vector<std::string>& path) const {
    const Key* key = &root_;
    for (const std::string& part : path) {
        auto it = key->subkeys.find(part);
        if (it == key->subkeys.end())
            return nullptr;
        key = &it->second;
    }
    return key;
}

RegistryStore::Key* RegistryStore::Find(const std::vector<std::string>& path) {
    return const_cast<Key*>(static_cast<const RegistryStore*>(this)->Find(path));
}

RegistryStore::Key& RegistryStore::Create(const std::vector<std::string>& path) {
    Key* key = &root_;
    for (const std::string& part : path)
        key = &key->subkeys[part];
    return *key;
}

bool RegistryStore::Remove(const std::vector<std::string>& path) {
    if (path.empty())
        return false;
    std::vector<std::string> parentPath(path.begin(), path.end() - 1);
    Key* parent = Find(parentPath);
    return parent && parent->subkeys.erase(path.back()) > 0;
}

std::string RegistryStore::Quote(std::string_view bytes) {
    std::string out = "\"";
    AppendEscaped(out, bytes, '"');
    out += '"';
    return out;
}

void RegistryStore::Parse(std::string_view text, std::vector<Problem>* problems) {
    auto problem = [&](int line, std::string reason) {
        if (problems)
            problems->push_back({line, std::move(reason)});
    };
    Key* current = nullptr;
    size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);

        size_t pos = 0;
        SkipSpaces(line, pos);
        if (pos == line.size() || line[pos] == ';' || line[pos] == '#')
            continue;

        std::string reason;
        if (line[pos] == '[') {
            ++pos;
            std::string joined;
            // A key line ends at the first unescaped ']'. Components are split
            // at '/' after unescaping; a name never holds a separator.
            if (!ReadEscaped(line, pos, ']', joined, reason)) {
                problem(lineNumber, reason);
                current = nullptr;
                continue;
            }
            SkipSpaces(line, pos);
            if (pos != line.size()) {
                problem(lineNumber, "text after the key name");
                current = nullptr;
                continue;
            }
            std::vector<std::string> path = SplitPath(joined);
            if (path.empty()) {
                problem(lineNumber, "empty key name");
                current = nullptr;
                continue;
            }
            current = &Create(path);
            continue;
        }

        if (line[pos] != '"') {
            problem(lineNumber, "not a key or a value");
            continue;
        }
        ++pos;
        std::string name;
        if (!ReadEscaped(line, pos, '"', name, reason)) {
            problem(lineNumber, reason);
            continue;
        }
        SkipSpaces(line, pos);
        if (pos >= line.size() || line[pos] != '=') {
            problem(lineNumber, "missing '=' after the value name");
            continue;
        }
        ++pos;
        SkipSpaces(line, pos);
        Value value;
        if (pos < line.size() && line[pos] == '"') {
            ++pos;
            value.type = Value::textType;
            if (!ReadEscaped(line, pos, '"', value.text, reason)) {
                problem(lineNumber, reason);
                continue;
            }
        } else if (line.substr(pos, 6) == "dword:") {
            pos += 6;
            value.type = Value::numberType;
            int digits = 0;
            uint32_t n = 0;
            while (pos < line.size() && HexDigit(line[pos]) >= 0 && digits < 9) {
                n = (n << 4) | static_cast<uint32_t>(HexDigit(line[pos]));
                ++pos;
                ++digits;
            }
            if (digits == 0 || digits > 8) {
                problem(lineNumber, "bad number");
                continue;
            }
            value.number = n;
        } else {
            problem(lineNumber, "unknown value type");
            continue;
        }
        SkipSpaces(line, pos);
        if (pos != line.size()) {
            problem(lineNumber, "text after the value");
            continue;
        }
        if (!current) {
            problem(lineNumber, "value outside a key");
            continue;
        }
        current->values[name] = std::move(value);
    }
}

std::string RegistryStore::Format(std::string_view heading) const {
    std::string out;
    out += "; ";
    out += heading;
    out += "\n";
    // Values of the root itself are not part of any key path: the root holds
    // only keys.
    std::vector<std::string> path;
    FormatKey(out, root_, path);
    return out;
}

} // namespace orvik

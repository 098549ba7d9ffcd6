#include "platform/registry/IniFile.h"

#include "platform/fs/File.h"

#include <sys/stat.h>

namespace orvik {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool IniFile::Load(const std::string& path, std::string* error) {
    sections_.clear();
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        if (error)
            *error = "too large for a profile file";
        return false;
    }
    std::string text;
    if (!File::ReadAll(path, text, error))
        return false;
    Parse(text);
    return true;
}

void IniFile::Parse(std::string_view text) {
    sections_.clear();
    Section* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            size_t close = line.find(']');
            if (close == std::string_view::npos) {
                current = nullptr;
                continue;
            }
            current = &sections_[std::string(Trim(line.substr(1, close - 1)))];
            continue;
        }
        size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos)
            continue;
        std::string key(Trim(line.substr(0, eq)));
        // First occurrence wins, as profile readers do.
        current->emplace(std::move(key), std::string(Trim(line.substr(eq + 1))));
    }
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view fallback) const {
    auto s = sections_.find(section);
    if (s != sections_.end()) {
        auto k = s->second.find(key);
        if (k != s->second.end())
            return k->second;
    }
    return std::string(fallback);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
    auto s = sections_.find(section);
    return s != sections_.end() && s->second.count(key) > 0;
}

} // namespace orvik

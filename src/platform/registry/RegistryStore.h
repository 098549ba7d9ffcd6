#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// One registry tree in memory: keys named by path components, each holding
// 32-bit numbers and texts by value name, and its plain-text file form.
//
// Key and value names compare without regard to ASCII case and keep the case
// they were created with; subkeys and values list in that case-blind order.
//
// Text form (UTF-8 bytes stored as they are):
//   ; comment
//   [Software/Torvane/Orvik/Preferences]
//   "Maximized"=dword:00000001
//   "Window position"="10 20 300 200"
// Inside quotes and key brackets, \\ \" \] \n \r \t and \xHH escape bytes.
// Every key is written with its own bracket line, so empty keys survive.
class RegistryStore {
public:
    struct NoCaseLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    struct Value {
        enum Type : uint8_t { numberType = 1, textType = 2 };
        Type type = numberType;
        uint32_t number = 0;
        std::string text;
    };

    struct Key {
        std::map<std::string, Value, NoCaseLess> values;
        std::map<std::string, Key, NoCaseLess> subkeys;
    };

    // A line of the text form that could not be read.
    struct Problem {
        int line = 0;
        std::string reason;
    };

    // Splits a key path at '/' and '\\', dropping empty components.
    static std::vector<std::string> SplitPath(std::string_view path);
    static std::string JoinPath(const std::vector<std::string>& components);

    // The key at `path`, or null.
    const Key* Find(const std::vector<std::string>& path) const;
    Key* Find(const std::vector<std::string>& path);
    // The key at `path`, made with its parents when missing.
    Key& Create(const std::vector<std::string>& path);
    // Removes the key at `path` with everything below it; false when absent.
    // The root cannot be removed.
    bool Remove(const std::vector<std::string>& path);

    const Key& Root() const { return root_; }
    bool Empty() const { return root_.values.empty() && root_.subkeys.empty(); }
    void Clear() { root_ = Key(); }

    // Reads the text form. Lines that cannot be read are skipped and listed
    // in `problems`; everything else is kept.
    void Parse(std::string_view text, std::vector<Problem>* problems);
    std::string Format(std::string_view heading) const;

    // Quoting used by the text form (exposed for tests and diagnostics).
    static std::string Quote(std::string_view bytes);

private:
    Key root_;
};

} // namespace orvik

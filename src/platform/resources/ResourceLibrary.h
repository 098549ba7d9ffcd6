#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// One resource library file: texts by number, bitmaps by name or number, the
// palette, data resources (vector drawings) by number, dialog and menu
// templates.
//
// File layout (little-endian): the 8 bytes "ORVKRES1", a DWORD entry count,
// then per entry: BYTE type, BYTE key kind (0 number, 1 name), then a DWORD
// number or a WORD name length and the name's bytes, then a DWORD payload
// size and the payload. Texts are UTF-8 without terminator; bitmaps are
// packed device-independent bitmaps (header, colours, pixels); the palette is
// 256 entries of red, green, blue and a flags byte.
class ResourceLibrary {
public:
    enum Type : uint8_t { text = 1, bitmap = 2, data = 3, palette = 4, dialog = 5, menu = 6 };
    static constexpr char kMagic[9] = "ORVKRES1";
    static constexpr const char* kExtension = ".orl";
    static constexpr uint32_t kMaxEntries = 1u << 20;

    // Reads a library file; false with a reason when it is missing or damaged.
    bool Load(const std::string& path, std::string* error = nullptr);
    // Reads a library from bytes.
    bool Parse(const uint8_t* bytes, size_t size, std::string* error = nullptr);

    const std::string& Path() const { return path_; }

    // Null when absent.
    const std::string* Text(uint32_t id) const;
    const std::vector<uint8_t>* Find(Type type, uint32_t number) const;
    const std::vector<uint8_t>* Find(Type type, std::string_view name) const;

    size_t Count(Type type) const;
    size_t Count() const { return byNumber_.size() + byName_.size(); }

private:
    std::string path_;
    std::map<std::pair<uint8_t, uint32_t>, std::vector<uint8_t>> byNumber_;
    std::map<std::pair<uint8_t, std::string>, std::vector<uint8_t>, std::less<>> byName_;
    std::map<uint32_t, std::string> texts_;
};

// Collects resources and writes a library file (used by the resource
// compiler that builds the libraries from their sources).
class ResourceLibraryWriter {
public:
    void Add(ResourceLibrary::Type type, uint32_t number, std::vector<uint8_t> payload);
    void Add(ResourceLibrary::Type type, const std::string& name, std::vector<uint8_t> payload);
    void AddText(uint32_t id, const std::string& text);
    std::vector<uint8_t> Bytes() const;
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    struct Entry {
        uint8_t type;
        bool named;
        uint32_t number;
        std::string name;
        std::vector<uint8_t> payload;
    };
    std::vector<Entry> entries_;
};

// Finds a library file by its file name: in the folders of ORVIK_RESOURCE_PATH
// (colon-separated), beside the program, then in the build's own resource
// folder. Empty when not found.
std::string FindResourceLibrary(const std::string& fileName);

} // namespace orvik

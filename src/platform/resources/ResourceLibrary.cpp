#include "platform/resources/ResourceLibrary.h"

#include "platform/fs/File.h"
#include "platform/fs/Places.h"

#include <cstdlib>
#include <cstring>

namespace orvik {

namespace {

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool Take(size_t count, const uint8_t** out) {
        if (count > n_ - pos_)
            return false;
        *out = p_ + pos_;
        pos_ += count;
        return true;
    }
    bool Byte(uint8_t* v) {
        const uint8_t* b;
        if (!Take(1, &b))
            return false;
        *v = b[0];
        return true;
    }
    bool Word(uint16_t* v) {
        const uint8_t* b;
        if (!Take(2, &b))
            return false;
        *v = static_cast<uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool Dword(uint32_t* v) {
        const uint8_t* b;
        if (!Take(4, &b))
            return false;
        *v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
             (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
        return true;
    }
    size_t Left() const { return n_ - pos_; }

private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};

void PutWord(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutDword(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

bool ResourceLibrary::Load(const std::string& path, std::string* error) {
    std::string bytes;
    if (!File::ReadAll(path, bytes, error))
        return false;
    if (!Parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), error)) {
        if (error)
            *error = path + ": " + *error;
        return false;
    }
    path_ = path;
    return true;
}

bool ResourceLibrary::Parse(const uint8_t* bytes, size_t size, std::string* error) {
    byNumber_.clear();
    byName_.clear();
    texts_.clear();
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        byNumber_.clear();
        byName_.clear();
        texts_.clear();
        return false;
    };
    Reader r(bytes, size);
    const uint8_t* magic;
    if (!r.Take(8, &magic) || memcmp(magic, kMagic, 8) != 0)
        return fail("not a resource library");
    uint32_t count;
    if (!r.Dword(&count))
        return fail("truncated header");
    // Every entry takes at least 10 bytes.
    if (count > kMaxEntries || count > r.Left() / 10)
        return fail("entry count exceeds the file");
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t type, keyKind;
        if (!r.Byte(&type) || !r.Byte(&keyKind))
            return fail("truncated entry");
        if (type < text || type > menu)
            return fail("unknown resource type");
        uint32_t number = 0;
        std::string name;
        if (keyKind == 0) {
            if (!r.Dword(&number))
                return fail("truncated entry");
        } else if (keyKind == 1) {
            uint16_t len;
            const uint8_t* p;
            if (!r.Word(&len) || !r.Take(len, &p))
                return fail("truncated name");
            name.assign(reinterpret_cast<const char*>(p), len);
        } else {
            return fail("unknown key kind");
        }
        uint32_t payloadSize;
        const uint8_t* payload;
        if (!r.Dword(&payloadSize) || !r.Take(payloadSize, &payload))
            return fail("payload exceeds the file");
        std::vector<uint8_t> data(payload, payload + payloadSize);
        if (type == text && keyKind == 0)
            texts_[number].assign(data.begin(), data.end());
        if (keyKind == 0)
            byNumber_[{type, number}] = std::move(data);
        else
            byName_[{type, name}] = std::move(data);
    }
    if (r.Left() != 0)
        return fail("trailing bytes after the last entry");
    return true;
}

const std::string* ResourceLibrary::Text(uint32_t id) const {
    auto it = texts_.find(id);
    return it == texts_.end() ? nullptr : &it->second;
}

const std::vector<uint8_t>* ResourceLibrary::Find(Type type, uint32_t number) const {
    auto it = byNumber_.find({static_cast<uint8_t>(type), number});
    return it == byNumber_.end() ? nullptr : &it->second;
}

const std::vector<uint8_t>* ResourceLibrary::Find(Type type, std::string_view name) const {
    auto it = byName_.find(std::pair<uint8_t, std::string>(type, std::string(name)));
    return it == byName_.end() ? nullptr : &it->second;
}

size_t ResourceLibrary::Count(Type type) const {
    size_t n = 0;
    for (auto& [key, v] : byNumber_)
        n += key.first == type;
    for (auto& [key, v] : byName_)
        n += key.first == type;
    return n;
}

void ResourceLibraryWriter::Add(ResourceLibrary::Type type, uint32_t number,
                                std::vector<uint8_t> payload) {
    entries_.push_back({static_cast<uint8_t>(type), false, number, {}, std::move(payload)});
}

void ResourceLibraryWriter::Add(ResourceLibrary::Type type, const std::string& name,
                                std::vector<uint8_t> payload) {
    entries_.push_back({static_cast<uint8_t>(type), true, 0, name, std::move(payload)});
}

void ResourceLibraryWriter::AddText(uint32_t id, const std::string& text) {
    Add(ResourceLibrary::text, id, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ResourceLibraryWriter::Bytes() const {
    std::vector<uint8_t> out(ResourceLibrary::kMagic, ResourceLibrary::kMagic + 8);
    PutDword(out, static_cast<uint32_t>(entries_.size()));
    for (const Entry& e : entries_) {
        out.push_back(e.type);
        out.push_back(e.named ? 1 : 0);
        if (e.named) {
            PutWord(out, static_cast<uint16_t>(e.name.size()));
            out.insert(out.end(), e.name.begin(), e.name.end());
        } else {
            PutDword(out, e.number);
        }
        PutDword(out, static_cast<uint32_t>(e.payload.size()));
        out.insert(out.end(), e.payload.begin(), e.payload.end());
    }
    return out;
}

bool ResourceLibraryWriter::Save(const std::string& path, std::string* error) const {
    std::vector<uint8_t> bytes = Bytes();
    return SafeFile::WriteAll(path, std::string(bytes.begin(), bytes.end()), error);
}

std::string FindResourceLibrary(const std::string& fileName) {
    std::vector<std::string> folders;
    if (const char* env = getenv("ORVIK_RESOURCE_PATH")) {
        std::string list = env;
        size_t start = 0;
        while (start <= list.size()) {
            size_t colon = list.find(':', start);
            if (colon == std::string::npos)
                colon = list.size();
            if (colon > start)
                folders.push_back(list.substr(start, colon - start));
            start = colon + 1;
        }
    }
    folders.push_back(Places::ProgramFolder());
#ifdef ORVIK_BUILD_RESOURCE_DIR
    folders.push_back(ORVIK_BUILD_RESOURCE_DIR);
#endif
    for (const std::string& f : folders) {
        std::string candidate = JoinPath(f, fileName);
        if (FileExists(candidate))
            return candidate;
    }
    return std::string();
}

} // namespace orvik

#include "platform/archive/Archive.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace orvik {

namespace {

std::string Hex(uint32_t v) {
    char text[16];
    snprintf(text, sizeof text, "0x%X", v);
    return text;
}

// Keeps a nesting count balanced through exceptions.
class NestingGuard {
public:
    explicit NestingGuard(int& n) : n_(n) { ++n_; }
    ~NestingGuard() { --n_; }

private:
    int& n_;
};

} // namespace

Archive::Archive(ArchiveStream& stream, Mode mode, void* context)
    : stream_(stream), mode_(mode), context_(context), buffer_(new uint8_t[kBufferSize]) {
    if (mode_ == load)
        loadArray_.push_back(LoadEntry{}); // index 0 is the null reference
}

Archive::~Archive() {
    if (mode_ == store && !closed_) {
        try {
            Flush();
        } catch (...) {
            // A destructor cannot report; callers that care call Close().
        }
    }
}

void Archive::Flush() {
    if (mode_ != store || bufPos_ == 0)
        return;
    size_t n = bufPos_;
    bufPos_ = 0;
    stream_.Write(buffer_.get(), n);
    stream_.Flush();
}

void Archive::Close() {
    if (closed_)
        return;
    if (mode_ == store)
        Flush();
    closed_ = true;
}

void Archive::Write(const void* data, size_t count) {
    if (mode_ != store)
        throw ArchiveException(ArchiveException::readOnly, "");
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (count > 0) {
        size_t room = kBufferSize - bufPos_;
        if (room == 0) {
            Flush();
            room = kBufferSize;
        }
        size_t n = count < room ? count : room;
        memcpy(buffer_.get() + bufPos_, p, n);
        bufPos_ += n;
        p += n;
        count -= n;
    }
}

void Archive::FillBuffer(size_t needed) {
    // Moves the unread rest to the front and reads until `needed` bytes are
    // buffered or the stream ends.
    size_t rest = bufEnd_ - bufPos_;
    if (bufPos_ > 0 && rest > 0)
        memmove(buffer_.get(), buffer_.get() + bufPos_, rest);
    bufPos_ = 0;
    bufEnd_ = rest;
    while (bufEnd_ < needed) {
        size_t got = stream_.Read(buffer_.get() + bufEnd_, kBufferSize - bufEnd_);
        if (got == 0)
            break;
        bufEnd_ += got;
    }
}

void Archive::Read(void* data, size_t count) {
    if (mode_ != load)
        throw ArchiveException(ArchiveException::writeOnly, "");
    uint8_t* p = static_cast<uint8_t*>(data);
    while (count > 0) {
        if (bufPos_ == bufEnd_) {
            FillBuffer(1);
            if (bufEnd_ == 0)
                throw ArchiveException(ArchiveException::endOfFile, "");
        }
        size_t avail = bufEnd_ - bufPos_;
        size_t n = count < avail ? count : avail;
        memcpy(p, buffer_.get() + bufPos_, n);
        bufPos_ += n;
        p += n;
        count -= n;
    }
}

uint64_t Archive::BytesLeft() const {
    uint64_t inStream = 0;
    uint64_t len = stream_.GetLength(), pos = stream_.GetPosition();
    if (len > pos)
        inStream = len - pos;
    return (bufEnd_ - bufPos_) + inStream;
}

void Archive::RequireBytes(uint64_t count, uint64_t itemSize) const {
    if (itemSize != 0 && count > BytesLeft() / itemSize)
        throw ArchiveException(ArchiveException::endOfFile,
                               "stored size " + std::to_string(count) + " exceeds the data");
}

void Archive::WriteWord(uint16_t v) {
    uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    Write(b, 2);
}

void Archive::WriteDword(uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    Write(b, 4);
}

void Archive::WriteDouble(double v) {
    uint64_t bits;
    memcpy(&bits, &v, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = static_cast<uint8_t>(bits >> (8 * i));
    Write(b, 8);
}

void Archive::WriteText(std::string_view text) {
    size_t n = text.size();
    if (n < 0xFF) {
        WriteByte(static_cast<uint8_t>(n));
    } else if (n < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<uint16_t>(n));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(static_cast<uint32_t>(n));
    }
    Write(text.data(), n);
}

void Archive::WriteCount(uint32_t count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<uint16_t>(count));
    } else {
        WriteWord(0xFFFF);
        WriteDword(count);
    }
}

uint8_t Archive::ReadByte() {
    uint8_t v;
    Read(&v, 1);
    return v;
}

uint16_t Archive::ReadWord() {
    uint8_t b[2];
    Read(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t Archive::ReadDword() {
    uint8_t b[4];
    Read(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

double Archive::ReadDouble() {
    uint8_t b[8];
    Read(b, 8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | b[i];
    double v;
    memcpy(&v, &bits, 8);
    return v;
}

std::string Archive::ReadText() {
    bool wide = false;
    uint32_t length = ReadByte();
    if (length == 0xFF) {
        uint16_t w = ReadWord();
        if (w == 0xFFFE) {
            // A two-byte-character text: the prefix follows again.
            wide = true;
            length = ReadByte();
            if (length == 0xFF) {
                w = ReadWord();
                length = w == 0xFFFF ? ReadDword() : w;
            }
        } else {
            length = w == 0xFFFF ? ReadDword() : w;
        }
    }
    if (!wide) {
        RequireBytes(length);
        std::string text(length, '\0');
        Read(text.data(), length);
        return text;
    }
    RequireBytes(length, 2);
    std::string text;
    text.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t c = ReadWord();
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length) {
            uint32_t low = ReadWord();
            ++i;
            if (low >= 0xDC00 && low < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            else
                c = 0xFFFD;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        // Stored as UTF-8.
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (c < 0x800) {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text += static_cast<char>(0xE0 | (c >> 12));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (c >> 18));
            text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

uint32_t Archive::ReadCount() {
    uint16_t w = ReadWord();
    return w == 0xFFFF ? ReadDword() : w;
}

void Archive::CheckMapCount() const {
    if (mapCount_ >= kMaxMapCount)
        throw ArchiveException(ArchiveException::badIndex, "too many objects");
}

void Archive::WriteClass(const RuntimeClass* cls) {
    if (mode_ != store)
        throw ArchiveException(ArchiveException::readOnly, "");
    auto it = storeMap_.find(cls);
    if (it != storeMap_.end()) {
        uint32_t index = it->second;
        if (index < kBigObjectTag) {
            WriteWord(static_cast<uint16_t>(kClassTag | index));
        } else {
            WriteWord(kBigObjectTag);
            WriteDword(kBigClassTag | index);
        }
        return;
    }
    CheckMapCount();
    storeMap_.emplace(cls, mapCount_++);
    WriteWord(kNewClassTag);
    WriteWord(cls->StoredSchema());
    size_t len = strlen(cls->className);
    WriteWord(static_cast<uint16_t>(len));
    Write(cls->className, len);
}

void Archive::WriteObject(const PersistentObject* object) {
    if (mode_ != store)
        throw ArchiveException(ArchiveException::readOnly, "");
    if (object == nullptr) {
        WriteWord(kNullTag);
        return;
    }
    auto it = storeMap_.find(object);
    if (it != storeMap_.end()) {
        uint32_t index = it->second;
        if (index < kBigObjectTag) {
            WriteWord(static_cast<uint16_t>(index));
        } else {
            WriteWord(kBigObjectTag);
            WriteDword(index);
        }
        return;
    }
    WriteClass(object->GetRuntimeClass());
    CheckMapCount();
    storeMap_.emplace(object, mapCount_++);
    // Writing is logically const for the object.
    const_cast<PersistentObject*>(object)->Serialize(*this);
}

uint32_t Archive::ReadTag(uint16_t* wordTag) {
    uint16_t w = ReadWord();
    *wordTag = w;
    if (w == kBigObjectTag)
        return ReadDword();
    return (static_cast<uint32_t>(w & kClassTag) << 16) | (w & ~kClassTag);
}

const RuntimeClass* Archive::ReadClassAfterTag(uint16_t wordTag, uint32_t tag,
                                               const RuntimeClass* required,
                                               uint32_t* schemaOut) {
    const RuntimeClass* cls = nullptr;
    uint32_t schema = 0;
    if (wordTag == kNewClassTag) {
        schema = ReadWord();
        uint16_t len = ReadWord();
        RequireBytes(len);
        std::string name(len, '\0');
        Read(name.data(), len);
        cls = RuntimeClass::FromName(name);
        if (cls == nullptr)
            throw ArchiveException(ArchiveException::badClass, "unknown class \"" + name + "\"");
        if (!cls->IsVersionable() && schema != cls->StoredSchema())
            throw ArchiveException(ArchiveException::badSchema,
                                   name + " schema " + std::to_string(schema));
        CheckMapCount();
        LoadEntry e;
        e.cls = cls;
        e.schema = schema;
        loadArray_.push_back(e);
        ++mapCount_;
    } else {
        uint32_t index = tag & ~kBigClassTag;
        if ((tag & kBigClassTag) == 0 || index == 0 || index >= loadArray_.size() ||
            loadArray_[index].cls == nullptr)
            throw ArchiveException(ArchiveException::badIndex, "class index " + Hex(index));
        cls = loadArray_[index].cls;
        schema = loadArray_[index].schema;
    }
    if (required != nullptr && !cls->IsDerivedFrom(required))
        throw ArchiveException(ArchiveException::badClass, std::string(cls->className) +
                                                               " is not a " +
                                                               required->className);
    if (schemaOut)
        *schemaOut = schema;
    return cls;
}

const RuntimeClass* Archive::ReadClass(const RuntimeClass* required, uint32_t* schema) {
    if (mode_ != load)
        throw ArchiveException(ArchiveException::writeOnly, "");
    uint16_t wordTag;
    uint32_t tag = ReadTag(&wordTag);
    if (wordTag != kNewClassTag && (tag & kBigClassTag) == 0)
        throw ArchiveException(ArchiveException::badIndex, "expected a class, found " + Hex(tag));
    return ReadClassAfterTag(wordTag, tag, required, schema);
}

uint32_t Archive::GetObjectSchema() {
    uint32_t s = objectSchema_;
    objectSchema_ = 0xFFFFFFFFu;
    return s;
}

PersistentObject* Archive::ReadObject(const RuntimeClass* required) {
    if (mode_ != load)
        throw ArchiveException(ArchiveException::writeOnly, "");
    uint16_t wordTag;
    uint32_t tag = ReadTag(&wordTag);
    if (wordTag != kNewClassTag && (tag & kBigClassTag) == 0) {
        // A reference to an object already read (or null).
        if (tag == 0)
            return nullptr;
        if (tag >= loadArray_.size() || loadArray_[tag].object == nullptr)
            throw ArchiveException(ArchiveException::badIndex, "object index " + Hex(tag));
        PersistentObject* object = loadArray_[tag].object;
        if (required != nullptr && !object->IsKindOf(required))
            throw ArchiveException(ArchiveException::badClass,
                                   std::string(object->GetRuntimeClass()->className) +
                                       " is not a " + required->className);
        return object;
    }
    if (nesting_ >= kMaxNesting)
        throw ArchiveException(ArchiveException::generic, "objects nested too deeply");
    NestingGuard guard(nesting_);
    uint32_t schema = 0;
    const RuntimeClass* cls = ReadClassAfterTag(wordTag, tag, required, &schema);
    PersistentObject* object = cls->CreateObject();
    if (object == nullptr)
        throw ArchiveException(ArchiveException::badClass,
                               std::string(cls->className) + " cannot be created");
    CheckMapCount();
    LoadEntry e;
    e.object = object;
    loadArray_.push_back(e);
    ++mapCount_;
    uint32_t saved = objectSchema_;
    objectSchema_ = schema;
    object->Serialize(*this);
    objectSchema_ = saved;
    return object;
}

} // namespace orvik

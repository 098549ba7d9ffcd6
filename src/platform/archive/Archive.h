#pragma once

#include "platform/archive/ArchiveException.h"
#include "platform/archive/ArchiveStream.h"
#include "platform/archive/RuntimeClass.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvik {

// An object archive: little-endian primitives, length-prefixed texts, counts,
// and object references in which every object is written once and referred
// to by index afterwards. Classes and objects share one numbering from 1.
//
// Every count and length read is checked against the bytes left in the stream
// before anything is allocated, and nesting of objects is bounded, so a
// damaged stream ends in an ArchiveException, never in a crash.
class Archive {
public:
    enum Mode { store, load };

    static constexpr size_t kBufferSize = 4096;
    static constexpr int kMaxNesting = 200;

    // Tags of object references.
    static constexpr uint16_t kNullTag = 0x0000;
    static constexpr uint16_t kNewClassTag = 0xFFFF;
    static constexpr uint16_t kClassTag = 0x8000;
    static constexpr uint16_t kBigObjectTag = 0x7FFF;
    static constexpr uint32_t kBigClassTag = 0x80000000u;
    static constexpr uint32_t kMaxMapCount = 0x7FFFFFFEu;

    Archive(ArchiveStream& stream, Mode mode, void* context = nullptr);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool IsStoring() const { return mode_ == store; }
    bool IsLoading() const { return mode_ == load; }

    // What the archive was opened for (the document being saved, for example).
    void* GetContext() const { return context_; }
    void SetContext(void* context) { context_ = context; }

    // What the stream is, as the objects in it need to know: a project file
    // being saved embeds the files it depends on; a stream this process made
    // in its own memory (undo, clipboard) may refer to its private files by
    // name; any other stream is outside bytes and trusted with neither.
    enum Purpose { otherStream, projectSave, ownMemory };
    Purpose GetPurpose() const { return purpose_; }
    void SetPurpose(Purpose purpose) { purpose_ = purpose; }

    // Writes the buffered bytes to the stream (storing).
    void Flush();
    // Flushes a storing archive; the archive is unusable afterwards.
    void Close();

    // Raw bytes.
    void Write(const void* data, size_t count);
    void Read(void* data, size_t count); // throws endOfFile when short

    // Primitives.
    void WriteByte(uint8_t v) { Write(&v, 1); }
    void WriteWord(uint16_t v);
    void WriteDword(uint32_t v);
    void WriteInt32(int32_t v) { WriteDword(static_cast<uint32_t>(v)); }
    void WriteDouble(double v);
    void WriteText(std::string_view text);
    void WriteCount(uint32_t count);

    uint8_t ReadByte();
    uint16_t ReadWord();
    uint32_t ReadDword();
    int32_t ReadInt32() { return static_cast<int32_t>(ReadDword()); }
    double ReadDouble();
    std::string ReadText();
    uint32_t ReadCount();

    // Bytes not yet read (loading).
    uint64_t BytesLeft() const;
    // Throws endOfFile unless `count` items of `itemSize` bytes can still be
    // read; called before anything sized by a stored value is allocated.
    void RequireBytes(uint64_t count, uint64_t itemSize = 1) const;

    // Object references.
    void WriteObject(const PersistentObject* object);
    // Reads an object reference; a new object is created by class name and
    // must derive from `required`. Returns null for a null reference.
    PersistentObject* ReadObject(const RuntimeClass* required);

    void WriteClass(const RuntimeClass* cls);
    // Reads a class reference; `schema` receives the stored schema.
    const RuntimeClass* ReadClass(const RuntimeClass* required, uint32_t* schema = nullptr);

    // The stored schema of the object now being read (versionable classes),
    // or 0xFFFFFFFF when none is pending; reading it clears it.
    uint32_t GetObjectSchema();
    void SetObjectSchema(uint32_t schema) { objectSchema_ = schema; }

    // Typed convenience for reading a reference of class T (or derived).
    template <class T> T* ReadObjectOf() {
        return static_cast<T*>(ReadObject(RuntimeClassOf<T>()));
    }

private:
    struct LoadEntry {
        const RuntimeClass* cls = nullptr;  // set for class entries
        PersistentObject* object = nullptr; // set for object entries
        uint32_t schema = 0;                // stored schema of a class entry
    };

    void FillBuffer(size_t needed);
    // Reads a class or object tag; returns the full 32-bit tag.
    uint32_t ReadTag(uint16_t* wordTag);
    const RuntimeClass* ReadClassAfterTag(uint16_t wordTag, uint32_t tag,
                                          const RuntimeClass* required, uint32_t* schema);
    void CheckMapCount() const;

    ArchiveStream& stream_;
    Mode mode_;
    void* context_;
    Purpose purpose_ = otherStream;
    bool closed_ = false;

    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufPos_ = 0; // next byte to read or write
    size_t bufEnd_ = 0; // end of valid bytes (loading)

    uint32_t mapCount_ = 1; // next index
    std::unordered_map<const void*, uint32_t> storeMap_;
    std::vector<LoadEntry> loadArray_;
    uint32_t objectSchema_ = 0xFFFFFFFFu;
    int nesting_ = 0;
};

} // namespace orvik

#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orvik {

// Test classes: a node with a number and one child reference, a leaf, a
// class that is not versionable, and one that is versionable at schema 3.
class TNode : public RefObject {
    ORVIK_DECLARE_SERIAL(TNode)
public:
    int32_t value = 0;
    RefPtr<RefObject> child;
    void Serialize(Archive& ar) override {
        if (ar.IsStoring()) {
            ar.WriteInt32(value);
            ar.WriteObject(child.get());
        } else {
            value = ar.ReadInt32();
            child = ar.ReadObjectOf<RefObject>();
        }
    }
};
ORVIK_IMPLEMENT_SERIAL(TNode, RefObject, kVersionableSchema | 1)

class TLeaf : public RefObject {
    ORVIK_DECLARE_SERIAL(TLeaf)
};
ORVIK_IMPLEMENT_SERIAL(TLeaf, RefObject, kVersionableSchema | 1)

class TFixed : public RefObject {
    ORVIK_DECLARE_SERIAL(TFixed)
};
ORVIK_IMPLEMENT_SERIAL(TFixed, RefObject, 2)

class TVersioned : public RefObject {
    ORVIK_DECLARE_SERIAL(TVersioned)
public:
    uint32_t seenSchema = 0;
    void Serialize(Archive& ar) override {
        if (ar.IsLoading())
            seenSchema = ar.GetObjectSchema();
    }
};
ORVIK_IMPLEMENT_SERIAL(TVersioned, RefObject, kVersionableSchema | 3)

// A class outside the RefObject tree, to test the required-class check.
class TStranger : public PersistentObject {
    ORVIK_DECLARE_SERIAL(TStranger)
};
ORVIK_IMPLEMENT_SERIAL(TStranger, PersistentObject, 1)

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Store(const std::function<void(Archive&)>& write) {
    MemFile f;
    {
        Archive ar(f, Archive::store);
        write(ar);
        ar.Close();
    }
    return f.Bytes();
}

void Load(const Bytes& bytes, const std::function<void(Archive&)>& read) {
    MemFile f(bytes.data(), bytes.size());
    Archive ar(f, Archive::load);
    read(ar);
}

ArchiveException::Cause LoadError(const Bytes& bytes,
                                  const std::function<void(Archive&)>& read) {
    try {
        Load(bytes, read);
    } catch (const ArchiveException& e) {
        RefObject::SweepOrphans();
        return e.cause;
    }
    RefObject::SweepOrphans();
    return static_cast<ArchiveException::Cause>(0);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

} // namespace

TEST(ArchiveText, PrefixesAtEveryBoundary) {
    struct Case {
        size_t length;
        Bytes prefix;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        std::string text(c.length, 'a');
        for (size_t i = 0; i < c.length; ++i)
            text[i] = static_cast<char>('a' + i % 26);
        Bytes bytes = Store([&](Archive& ar) { ar.WriteText(text); });
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + c.prefix.size()), c.prefix) << c.length;
        std::string back;
        Load(bytes, [&](Archive& ar) { back = ar.ReadText(); });
        EXPECT_EQ(back, text) << c.length;
    }
}

TEST(ArchiveText, TwoByteCharacterTextsReadAsUtf8) {
    // 0xFF, the marker WORD 0xFFFE, then the prefix again (3 characters).
    Bytes bytes = {0xFF, 0xFE, 0xFF, 0x03, 'h', 0x00, 0xE9, 0x00, 0xAC, 0x20};
    std::string text;
    Load(bytes, [&](Archive& ar) { text = ar.ReadText(); });
    EXPECT_EQ(text, "h\xC3\xA9\xE2\x82\xAC");
}

TEST(ArchiveCount, WordBelowFfffElseDword) {
    struct Case {
        uint32_t count;
        Bytes bytes;
    } cases[] = {
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}},
    };
    for (const Case& c : cases) {
        Bytes bytes = Store([&](Archive& ar) { ar.WriteCount(c.count); });
        EXPECT_EQ(bytes, c.bytes) << c.count;
        uint32_t back = 0;
        Load(bytes, [&](Archive& ar) { back = ar.ReadCount(); });
        EXPECT_EQ(back, c.count);
    }
}

TEST(ArchivePrimitives, LittleEndianGoldenBytes) {
    Bytes bytes = Store([](Archive& ar) {
        ar.WriteByte(0xAB);
        ar.WriteWord(0x1234);
        ar.WriteDword(0xDEADBEEF);
        ar.WriteInt32(-2);
        ar.WriteDouble(1.0);
    });
    EXPECT_EQ(bytes, (Bytes{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF,
                            0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    Load(bytes, [](Archive& ar) {
        EXPECT_EQ(ar.ReadByte(), 0xAB);
        EXPECT_EQ(ar.ReadWord(), 0x1234);
        EXPECT_EQ(ar.ReadDword(), 0xDEADBEEFu);
        EXPECT_EQ(ar.ReadInt32(), -2);
        EXPECT_EQ(ar.ReadDouble(), 1.0);
        EXPECT_THROW(ar.ReadByte(), ArchiveException);
    });
}

TEST(ArchiveObjects, NullNewAndRepeatedReferences) {
    RefPtr<TNode> a = new TNode;
    a->value = 7;
    RefPtr<TLeaf> leaf = new TLeaf;
    a->child = leaf;
    RefPtr<TNode> b = new TNode;
    b->value = 9;
    b->child = leaf; // shared: written once

    Bytes bytes = Store([&](Archive& ar) {
        ar.WriteObject(nullptr);
        ar.WriteObject(a.get());
        ar.WriteObject(b.get());
        ar.WriteObject(a.get());
    });
    Bytes expected = Concat({
        {0x00, 0x00},                                    // null
        {0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Str("TNode"), // new class, index 1
        {0x07, 0x00, 0x00, 0x00},                         // a (index 2): value
        {0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Str("TLeaf"), // class index 3, leaf index 4
        {0x01, 0x80},                                     // b: known class 1, index 5
        {0x09, 0x00, 0x00, 0x00}, {0x04, 0x00},           // value, leaf again by index
        {0x02, 0x00},                                     // a again
    });
    EXPECT_EQ(bytes, expected);

    Load(bytes, [](Archive& ar) {
        EXPECT_EQ(ar.ReadObjectOf<RefObject>(), nullptr);
        RefPtr<TNode> ra = ar.ReadObjectOf<TNode>();
        RefPtr<TNode> rb = ar.ReadObjectOf<TNode>();
        RefPtr<TNode> ra2 = ar.ReadObjectOf<TNode>();
        ASSERT_TRUE(ra && rb);
        EXPECT_EQ(ra->value, 7);
        EXPECT_EQ(rb->value, 9);
        EXPECT_EQ(ra.get(), ra2.get());
        EXPECT_EQ(ra->child.get(), rb->child.get()); // shared again
        EXPECT_EQ(ra->child->RefCount(), 2);
        EXPECT_NE(DynamicCast<TLeaf>(ra->child.get()), nullptr);
    });
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
}

TEST(ArchiveObjects, IndicesBeyond7fffUseTheLongForms) {
    // 0x7FFE leaves and their class fill indices 1..0x7FFF; then a node takes
    // class index 0x8000 and object 0x8001; a second node refers to that class
    // and to the first node by the long forms.
    const int leaves = 0x7FFE;
    std::vector<RefPtr<TLeaf>> keep;
    for (int i = 0; i < leaves; ++i)
        keep.push_back(new TLeaf);
    RefPtr<TNode> first = new TNode;
    RefPtr<TNode> second = new TNode;
    second->child = first;
    second->value = 5;

    Bytes bytes = Store([&](Archive& ar) {
        for (auto& l : keep)
            ar.WriteObject(l.get());
        ar.WriteObject(first.get());
        ar.WriteObject(second.get());
        ar.WriteObject(keep.back().get()); // index 0x7FFF
    });
    // Tail: first node: new class (6 + 5 bytes), value, null child;
    // second node: class by long form, value, first by long form;
    // then the last leaf by long form.
    Bytes tail = Concat({
        {0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Str("TNode"), {0, 0, 0, 0}, {0x00, 0x00},
        {0xFF, 0x7F, 0x00, 0x80, 0x00, 0x80}, {0x05, 0, 0, 0},
        {0xFF, 0x7F, 0x01, 0x80, 0x00, 0x00},
        {0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x00},
    });
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(Bytes(bytes.end() - tail.size(), bytes.end()), tail);

    Load(bytes, [&](Archive& ar) {
        std::vector<RefPtr<RefObject>> read;
        for (int i = 0; i < leaves; ++i)
            read.push_back(ar.ReadObjectOf<RefObject>());
        RefPtr<TNode> f = ar.ReadObjectOf<TNode>();
        RefPtr<TNode> s = ar.ReadObjectOf<TNode>();
        RefObject* last = ar.ReadObjectOf<RefObject>();
        EXPECT_EQ(s->value, 5);
        EXPECT_EQ(s->child.get(), f.get());
        EXPECT_EQ(last, read.back().get());
    });
}

TEST(ArchiveObjects, SchemaRules) {
    // A class that is not versionable refuses another schema.
    Bytes fixed = Concat({{0xFF, 0xFF, 0x03, 0x00, 0x06, 0x00}, Str("TFixed")});
    EXPECT_EQ(LoadError(fixed, [](Archive& ar) { ar.ReadObjectOf<RefObject>(); }),
              ArchiveException::badSchema);
    fixed[2] = 0x02;
    EXPECT_EQ(LoadError(fixed, [](Archive& ar) {
                  RefPtr<RefObject> o = ar.ReadObjectOf<RefObject>();
              }),
              0);

    // A versionable one reads any schema and sees it while it reads, also
    // for later objects of the same class.
    Bytes versioned = Concat({{0xFF, 0xFF, 0x07, 0x00, 0x0A, 0x00}, Str("TVersioned"), {0x01, 0x80}});
    Load(versioned, [](Archive& ar) {
        RefPtr<TVersioned> a = ar.ReadObjectOf<TVersioned>();
        RefPtr<TVersioned> b = ar.ReadObjectOf<TVersioned>();
        EXPECT_EQ(a->seenSchema, 7u);
        EXPECT_EQ(b->seenSchema, 7u);
    });
}

TEST(ArchiveObjects, DamagedStreamsEndInArchiveErrors) {
    auto readObject = [](Archive& ar) {
        RefPtr<RefObject> o = ar.ReadObjectOf<RefObject>();
    };
    struct Case {
        const char* what;
        Bytes bytes;
        ArchiveException::Cause cause;
    } cases[] = {
        {"unknown class", Concat({{0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00}, Str("Nope")}),
         ArchiveException::badClass},
        {"not derived from the required class",
         Concat({{0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00}, Str("TStranger")}),
         ArchiveException::badClass},
        {"object index never read", {0x05, 0x00}, ArchiveException::badIndex},
        {"class index never read", {0x03, 0x80}, ArchiveException::badIndex},
        {"long object index", {0xFF, 0x7F, 0x00, 0x00, 0x01, 0x00}, ArchiveException::badIndex},
        {"long class index", {0xFF, 0x7F, 0x09, 0x00, 0x00, 0x80}, ArchiveException::badIndex},
        {"object index naming a class",
         Concat({{0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Str("TLeaf"), {0x01, 0x00}}),
         ArchiveException::badIndex},
        {"class name cut short", Concat({{0xFF, 0xFF, 0x01, 0x00, 0x40, 0x00}, Str("TLe")}),
         ArchiveException::endOfFile},
        {"fields cut short", Concat({{0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Str("TNode"), {1, 0}}),
         ArchiveException::endOfFile},
        {"empty", {}, ArchiveException::endOfFile},
    };
    for (const Case& c : cases) {
        ArchiveException::Cause got = LoadError(c.bytes, [&](Archive& ar) {
            // Read twice so that "object index naming a class" reaches its tag.
            readObject(ar);
            readObject(ar);
        });
        EXPECT_EQ(got, c.cause) << c.what;
    }
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
}

TEST(ArchiveObjects, StoredSizesAreCheckedBeforeAllocating) {
    // A text claiming 4 GiB in a 9-byte stream, and a count far beyond it.
    Bytes hugeText = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'x', 'y'};
    EXPECT_EQ(LoadError(hugeText, [](Archive& ar) { ar.ReadText(); }),
              ArchiveException::endOfFile);
    Bytes hugeCount = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40};
    EXPECT_EQ(LoadError(hugeCount, [](Archive& ar) { ar.RequireBytes(ar.ReadCount(), 2); }),
              ArchiveException::endOfFile);
}

TEST(ArchiveObjects, DeepNestingIsRefusedNotOverflowed) {
    // A chain of nodes each holding the next: deeper than any real file.
    Bytes bytes = Concat({{0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}, Str("TNode"), {0, 0, 0, 0}});
    for (int i = 0; i < 5000; ++i)
        bytes.insert(bytes.end(), {0x01, 0x80, 0, 0, 0, 0});
    bytes.insert(bytes.end(), {0x00, 0x00});
    EXPECT_EQ(LoadError(bytes, [](Archive& ar) {
                  RefPtr<RefObject> o = ar.ReadObjectOf<RefObject>();
              }),
              ArchiveException::generic);
}

TEST(ArchiveBuffer, LongStreamsCrossTheBufferBoundary) {
    std::string big(10000, 'q');
    Bytes bytes = Store([&](Archive& ar) {
        for (int i = 0; i < 3000; ++i)
            ar.WriteDword(static_cast<uint32_t>(i));
        ar.WriteText(big);
    });
    EXPECT_EQ(bytes.size(), 3000u * 4 + 3 + big.size());
    Load(bytes, [&](Archive& ar) {
        for (int i = 0; i < 3000; ++i)
            ASSERT_EQ(ar.ReadDword(), static_cast<uint32_t>(i));
        EXPECT_EQ(ar.BytesLeft(), 3 + big.size());
        EXPECT_EQ(ar.ReadText(), big);
        EXPECT_EQ(ar.BytesLeft(), 0u);
    });
}

} // namespace orvik

#include "model/TapeSync.h"

#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvik {

TEST(TapeSync, WritesBothTablesAndReadsOldSchemasWithTheFirstOnly) {
    TapeSync s;
    s.words = {1, 0xFFFF};
    s.dwords = {0x12345678};
    MemFile f;
    {
        Archive ar(f, Archive::store);
        ar.WriteObject(&s);
    }
    std::vector<uint8_t> bytes = f.Bytes();
    std::vector<uint8_t> expected = {0xFF, 0xFF, 0x03, 0x00, 0x08, 0x00, 'T', 'a', 'p', 'e',
                                     'S',  'y',  'n',  'c',  0x02, 0x00, 0x01, 0x00, 0xFF, 0xFF,
                                     0x01, 0x00, 0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(bytes, expected);
    {
        MemFile in(bytes.data(), bytes.size());
        Archive ar(in, Archive::load);
        std::unique_ptr<TapeSync> back(ar.ReadObjectOf<TapeSync>());
        EXPECT_EQ(back->words, s.words);
        EXPECT_EQ(back->dwords, s.dwords);
    }
    // Schema 2: the second table is absent from the stream.
    std::vector<uint8_t> old(bytes.begin(), bytes.begin() + 20);
    old[2] = 0x02;
    MemFile in(old.data(), old.size());
    Archive ar(in, Archive::load);
    std::unique_ptr<TapeSync> back(ar.ReadObjectOf<TapeSync>());
    EXPECT_EQ(back->words, s.words);
    EXPECT_TRUE(back->dwords.empty());
    EXPECT_EQ(ar.BytesLeft(), 0u);
}

} // namespace orvik

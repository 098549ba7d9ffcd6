#include "platform/gui/Clipboard.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace orvik {

TEST(Clipboard, NamedFormatsKeepTheirNumbers) {
    uint32_t movie = Clipboard::RegisterFormat("OrvikMovieClipList");
    uint32_t album = Clipboard::RegisterFormat("OrvikLibraryClipList");
    EXPECT_GE(movie, Clipboard::kFirstRegisteredFormat);
    EXPECT_NE(movie, album);
    EXPECT_EQ(Clipboard::RegisterFormat("OrvikMovieClipList"), movie);
    EXPECT_EQ(Clipboard::FormatName(movie), "OrvikMovieClipList");
    EXPECT_EQ(Clipboard::FormatName(Clipboard::kTextFormat), "text");
    EXPECT_EQ(Clipboard::FormatName(0xBEEF), "");
    EXPECT_EQ(Clipboard::RegisterFormat(""), 0u);
}

TEST(Clipboard, PlaceReplacesEverythingOffered) {
    Clipboard& c = Clipboard::Get();
    uint32_t movie = Clipboard::RegisterFormat("OrvikMovieClipList");
    int changes = 0;
    c.SetChangeHandler([&] { ++changes; });
    uint64_t sequence = c.GetSequenceNumber();

    Clipboard::DataSource both;
    both.SetData(movie, {1, 2, 3});
    both.SetData(Clipboard::kTextFormat, {'a', 0});
    c.Place(both);
    EXPECT_TRUE(c.IsFormatAvailable(movie));
    EXPECT_TRUE(c.IsFormatAvailable(Clipboard::kTextFormat));
    std::vector<uint8_t> bytes;
    bool own = false;
    ASSERT_TRUE(c.GetData(movie, bytes, &own));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(own);

    Clipboard::DataSource textOnly;
    textOnly.SetData(Clipboard::kTextFormat, {'b', 0});
    c.Place(textOnly, false); // another program's copy, through the bridge
    EXPECT_FALSE(c.IsFormatAvailable(movie));
    EXPECT_FALSE(c.GetData(movie, bytes));
    ASSERT_TRUE(c.GetData(Clipboard::kTextFormat, bytes, &own));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'b', 0}));
    EXPECT_FALSE(own);

    c.Empty();
    EXPECT_FALSE(c.IsFormatAvailable(Clipboard::kTextFormat));
    EXPECT_EQ(c.GetSequenceNumber(), sequence + 3);
    EXPECT_EQ(changes, 3);
    c.SetChangeHandler(nullptr);
}

TEST(Clipboard, ReadersAndWritersOnSeveralThreads) {
    Clipboard& c = Clipboard::Get();
    uint32_t f = Clipboard::RegisterFormat("ClipboardTestFormat");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&c, f, t] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2 == 0) {
                    Clipboard::DataSource s;
                    s.SetData(f, std::vector<uint8_t>(16, static_cast<uint8_t>(i)));
                    c.Place(std::move(s));
                } else {
                    std::vector<uint8_t> bytes;
                    // Whatever is read is one whole copy.
                    if (c.GetData(f, bytes)) {
                        EXPECT_EQ(bytes, std::vector<uint8_t>(16, bytes[0]));
                    }
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    c.Empty();
}

} // namespace orvik

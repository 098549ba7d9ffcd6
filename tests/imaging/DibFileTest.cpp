// Bitmap files: the forms Orvik writes and the forms other programs write,
// built here byte by byte, and damaged ones.
#include "imaging/Dib.h"

#include "ImagingTestSupport.h"
#include "app/ResourceLibraries.h"
#include "imaging/XPalette.h"
#include "platform/fs/File.h"
#include "platform/resources/ResourceLibrary.h"
#include "support/TestHome.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::Bytes8;
using test::GetU16;
using test::GetU32;
using test::InHome;
using test::LogHas;
using test::Make24;
using test::MakeGrey8;
using test::OpenTestLog;
using test::PixelsOf;
using test::PutU16;
using test::PutU32;
using test::ReadBytes;
using test::WriteBytes;

// An information header of `size` bytes; masks (red, green, blue, alpha)
// go at bytes 40 to 55 of the larger forms.
std::vector<uint8_t> Info(uint32_t size, int32_t w, int32_t h, uint16_t bits, uint32_t comp,
                          uint32_t sizeImage = 0, uint32_t clrUsed = 0,
                          std::vector<uint32_t> masks = {}) {
    std::vector<uint8_t> v;
    PutU32(v, size);
    PutU32(v, static_cast<uint32_t>(w));
    PutU32(v, static_cast<uint32_t>(h));
    PutU16(v, 1);
    PutU16(v, bits);
    PutU32(v, comp);
    PutU32(v, sizeImage);
    PutU32(v, 2835);
    PutU32(v, 2835);
    PutU32(v, clrUsed);
    PutU32(v, 0);
    for (uint32_t m : masks)
        if (v.size() < size)
            PutU32(v, m);
    v.resize(size, 0);
    return v;
}

// A whole file: file header, information header, what follows it (masks,
// colours, gaps) and the pixels; the pixel offset is where they start
// unless given.
std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& info, const std::vector<uint8_t>& middle,
                             const std::vector<uint8_t>& pixels, int64_t offBits = -1) {
    std::vector<uint8_t> f = {'B', 'M'};
    size_t total = 14 + info.size() + middle.size() + pixels.size();
    PutU32(f, static_cast<uint32_t>(total));
    PutU32(f, 0);
    PutU32(f, offBits >= 0 ? static_cast<uint32_t>(offBits)
                           : static_cast<uint32_t>(14 + info.size() + middle.size()));
    f.insert(f.end(), info.begin(), info.end());
    f.insert(f.end(), middle.begin(), middle.end());
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
}

std::vector<uint8_t> GreyTable(int n) {
    std::vector<uint8_t> t;
    for (int i = 0; i < n; ++i)
        t.insert(t.end(),
                 {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
    return t;
}

RefPtr<Dib> LoadBytes(const std::vector<uint8_t>& bytes) {
    std::string path = InHome("in.bmp");
    WriteBytes(path, bytes);
    RefPtr<Dib> d = new Dib;
    if (!d->LoadFromFile(path))
        return nullptr;
    return d;
}

RefPtr<Dib> To24(const Dib& d) {
    RefPtr<Dib> out = new Dib;
    out->Create(d.Width(), d.AbsHeight(), 24);
    EXPECT_TRUE(out->Copy(d));
    return out;
}

TEST(DibFile, RoundTripsEveryDepth) {
    struct Case {
        int bits, height;
        bool bitFields565;
    } cases[] = {{1, 3, false}, {4, 3, false},  {8, 3, false},   {8, -3, false}, {16, 3, false},
                 {16, 3, true}, {24, 3, false}, {24, -3, false}, {32, 3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, height " << c.height);
        RefPtr<Dib> d = new Dib;
        if (c.bitFields565)
            ASSERT_TRUE(d->CreateBitFields(5, c.height, 16, 0xf800, 0x7e0, 0x1f));
        else
            ASSERT_TRUE(d->Create(5, c.height, c.bits));
        for (uint32_t i = 0; i < d->ImageSize(); ++i)
            d->Bits()[i] = static_cast<uint8_t>(i * 37 + 11);
        if (c.bits <= 8)
            d->SetColorCube();
        std::string path = InHome("round.bmp");
        ASSERT_TRUE(d->SaveToFile(path));
        std::vector<uint8_t> bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(GetU16(bytes, 0), Dib::kFileType);
        EXPECT_EQ(GetU32(bytes, 2), bytes.size());
        EXPECT_EQ(GetU32(bytes, 10), 14u + d->HeaderSize());
        EXPECT_EQ(GetU32(bytes, 14), 40u);
        RefPtr<Dib> back = new Dib;
        ASSERT_TRUE(back->LoadFromFile(path));
        EXPECT_EQ(back->Width(), 5);
        EXPECT_EQ(back->Height(), c.height);
        EXPECT_EQ(back->BitCount(), c.bits);
        EXPECT_EQ(back->GetCompression(), d->GetCompression());
        ASSERT_EQ(back->HeaderSize(), d->HeaderSize());
        EXPECT_EQ(0, std::memcmp(back->Header(), d->Header(), d->HeaderSize()));
        ASSERT_EQ(back->ImageSize(), d->ImageSize());
        EXPECT_EQ(0, std::memcmp(back->Bits(), d->Bits(), d->ImageSize()));
    }
}

TEST(DibFile, ReadsV5HeadersAndHonoursThePixelOffset) {
    // 2 x 2, 24 bits, bottom row first; 2 padding bytes per row.
    std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    for (uint32_t size : {40u, 108u, 124u}) {
        SCOPED_TRACE(size);
        RefPtr<Dib> d = LoadBytes(BmpFile(Info(size, 2, 2, 24, 0, 16), {}, pixels));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->Header()->size, 40u);
        EXPECT_EQ(PixelsOf(*d), (std::vector<std::vector<uint32_t>>{{Rgb(9, 8, 7), Rgb(12, 11, 10)},
                                                                    {Rgb(3, 2, 1), Rgb(6, 5, 4)}}));
    }
    // Seven bytes of something else between the header and the pixels.
    std::vector<uint8_t> gap(7, 0xEE);
    RefPtr<Dib> d = LoadBytes(BmpFile(Info(124, 2, 2, 24, 0, 16), gap, pixels));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->GetPixel(0, 1), Rgb(3, 2, 1));
}

TEST(DibFile, ReadsBitFieldsAndTopDownRows) {
    // 5-6-5, 2 x 2, top row first: red, green / blue, white.
    std::vector<uint8_t> px;
    for (uint16_t v : {0xF800, 0x07E0, 0x001F, 0xFFFF})
        PutU16(px, v);
    std::vector<uint8_t> masks;
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        PutU32(masks, m);
    std::vector<std::vector<uint32_t>> expect = {{Rgb(248, 0, 0), Rgb(0, 252, 0)},
                                                 {Rgb(0, 0, 248), Rgb(248, 252, 248)}};
    RefPtr<Dib> in40 = LoadBytes(BmpFile(Info(40, 2, -2, 16, 3), masks, px));
    ASSERT_TRUE(in40);
    EXPECT_EQ(in40->Get16BitLayout(), Dib::layout565);
    EXPECT_EQ(PixelsOf(*To24(*in40)), expect);
    RefPtr<Dib> inV4 =
        LoadBytes(BmpFile(Info(108, 2, -2, 16, 3, 8, 0, {0xF800, 0x7E0, 0x1F, 0}), {}, px));
    ASSERT_TRUE(inV4);
    EXPECT_TRUE(inV4->IsTopDown());
    EXPECT_EQ(PixelsOf(*To24(*inV4)), expect);

    // 5-5-5 written with masks becomes the plain 16-bit form.
    std::vector<uint8_t> px555;
    PutU16(px555, 0x7C00);
    PutU16(px555, 0);
    RefPtr<Dib> d555 =
        LoadBytes(BmpFile(Info(124, 1, 1, 16, 3, 4, 0, {0x7C00, 0x3E0, 0x1F, 0}), {}, px555));
    ASSERT_TRUE(d555);
    EXPECT_EQ(d555->GetCompression(), Dib::compressionRgb);
    EXPECT_EQ(To24(*d555)->GetPixel(0, 0), Rgb(248, 0, 0));

    // 32 bits with masks and alpha: the fourth byte stays.
    std::vector<uint8_t> px32 = {10, 20, 30, 128};
    RefPtr<Dib> d32 = LoadBytes(
        BmpFile(Info(124, 1, 1, 32, 3, 4, 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), {}, px32));
    ASSERT_TRUE(d32);
    EXPECT_EQ(d32->GetCompression(), Dib::compressionRgb);
    EXPECT_EQ(d32->GetPixel(0, 0), 0x801E140Au);
}

TEST(DibFile, ColourCountsAreClampedAndOffsetsHonoured) {
    std::vector<uint8_t> pixels = {200, 3, 0, 0};
    // 1000 colours stored, pixels after them.
    std::vector<uint8_t> table = GreyTable(256);
    table.resize(1000 * 4, 0x55);
    RefPtr<Dib> d = LoadBytes(BmpFile(Info(40, 2, 1, 8, 0, 0, 1000), table, pixels));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->ColorCount(), 256);
    EXPECT_EQ(To24(*d)->GetPixel(0, 0), Rgb(200, 200, 200));
    // The same without a pixel offset: the extra colours are stepped over.
    d = LoadBytes(BmpFile(Info(40, 2, 1, 8, 0, 0, 1000), table, pixels, 0));
    ASSERT_TRUE(d);
    EXPECT_EQ(Bytes8(*d)[0], (std::vector<int>{200, 3}));
    // A short table (16 colours though 256 are implied) before the pixels.
    d = LoadBytes(BmpFile(Info(40, 2, 1, 8, 0), GreyTable(16), pixels));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->ColorCount(), 16);
    EXPECT_EQ(To24(*d)->GetPixel(1, 0), Rgb(3, 3, 3));
    EXPECT_EQ(To24(*d)->GetPixel(0, 0), 0u); // index past the table
}

TEST(DibFile, RefusesDamagedHeaders) {
    OpenTestLog();
    std::vector<uint8_t> px(16, 0);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        const char* log;
    } cases[] = {
        {"huge width", BmpFile(Info(40, 100000, 2, 24, 0), {}, px), "width out of range"},
        {"no width", BmpFile(Info(40, 0, 2, 24, 0), {}, px), "width out of range"},
        {"lowest height", BmpFile(Info(40, 2, INT_MIN, 24, 0), {}, px), "height out of range"},
        {"short image size", BmpFile(Info(40, 2, 2, 24, 0, 15), {}, px),
         "image size smaller than its rows"},
        {"bit count", BmpFile(Info(40, 2, 2, 7, 0), {}, px), "unsupported bit count"},
        {"compression", BmpFile(Info(40, 2, 2, 24, 4), {}, px), "unsupported compression"},
        {"masks", BmpFile(Info(124, 2, 2, 16, 3, 0, 0, {0xF00, 0xF0, 0xF, 0}), {}, px),
         "unsupported bit-field masks"},
        {"core header", BmpFile(Info(12, 2, 2, 24, 0), {}, px), "unsupported header size 12"},
        {"short pixels", BmpFile(Info(40, 2, 3, 24, 0), {}, px), "can't read bits"},
        {"top-down run lengths", BmpFile(Info(40, 2, -2, 8, 1, 4), GreyTable(256), {0, 1, 0, 0}),
         "run-length coded rows must be stored bottom-up"},
        {"empty run lengths", BmpFile(Info(40, 2, 2, 8, 1, 0), GreyTable(256), {0, 1}),
         "bad run-length data size"},
        {"overlapping offset", BmpFile(Info(40, 2, 2, 24, 0), {}, px, 20),
         "pixel data overlaps the header"},
        {"truncated header",
         std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0},
         "can't read header"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(LoadBytes(c.file));
        EXPECT_TRUE(LogHas(c.log));
    }
}

TEST(DibFile, RunLength8) {
    // 4 x 3: bottom row 9 . . . ; middle . . . 8 (reached by a delta); top
    // 4 5 6 1 from an absolute run and an encoded one.
    std::vector<uint8_t> stream = {1, 9, 0, 2, 2, 1, 1, 8, 0, 0, 0, 3, 4, 5, 6, 0, 1, 1, 0, 1};
    RefPtr<Dib> d = LoadBytes(BmpFile(Info(40, 4, 3, 8, 1, static_cast<uint32_t>(stream.size())),
                                      GreyTable(256), stream));
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->IsRunLengthCoded());
    RefPtr<Dib> idx = new Dib;
    ASSERT_TRUE(idx->Create(4, 3, 8));
    idx->Set(77);
    ASSERT_TRUE(idx->Copy(*d));
    std::vector<std::vector<int>> expect = {{4, 5, 6, 1}, {0, 0, 0, 8}, {9, 0, 0, 0}};
    EXPECT_EQ(Bytes8(*idx), expect);
    RefPtr<Dib> rgb = To24(*d);
    EXPECT_EQ(rgb->GetPixel(2, 0), Rgb(6, 6, 6));
    EXPECT_EQ(rgb->GetPixel(3, 1), Rgb(8, 8, 8));
    // Grey mapping and scaling read run-length pictures too.
    RefPtr<Dib> grey = new Dib;
    ASSERT_TRUE(grey->MapToGreyScale(*d));
    EXPECT_EQ(Bytes8(*grey), expect);
}

TEST(DibFile, RunLength4) {
    // 5 x 2: bottom row 1 2 1 2 1; top row 3 4 5 (absolute) 7 7 (encoded).
    std::vector<uint8_t> stream = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 2, 0x77, 0, 1};
    std::vector<uint8_t> table = GreyTable(16);
    RefPtr<Dib> d = LoadBytes(
        BmpFile(Info(40, 5, 2, 4, 2, static_cast<uint32_t>(stream.size())), table, stream));
    ASSERT_TRUE(d);
    RefPtr<Dib> idx = new Dib;
    ASSERT_TRUE(idx->Create(5, 2, 8));
    ASSERT_TRUE(idx->Copy(*d));
    EXPECT_EQ(Bytes8(*idx), (std::vector<std::vector<int>>{{3, 4, 5, 7, 7}, {1, 2, 1, 2, 1}}));
    EXPECT_EQ(To24(*d)->GetPixel(4, 0), Rgb(7, 7, 7));
}

TEST(DibFile, RunsPastTheRowAreClipped) {
    // Row 0 runs 5 pixels into a 2-pixel row; the top row runs 200 pixels
    // past the end of the whole picture.
    std::vector<uint8_t> stream = {5, 3, 0, 0, 200, 4, 0, 1};
    RefPtr<Dib> d = LoadBytes(BmpFile(Info(40, 2, 3, 8, 1, static_cast<uint32_t>(stream.size())),
                                      GreyTable(256), stream));
    ASSERT_TRUE(d);
    RefPtr<Dib> idx = new Dib;
    ASSERT_TRUE(idx->Create(2, 3, 8));
    ASSERT_TRUE(idx->Copy(*d));
    EXPECT_EQ(Bytes8(*idx), (std::vector<std::vector<int>>{{0, 0}, {4, 4}, {3, 3}}));
    RefPtr<Dib> rgb = To24(*d);
    EXPECT_EQ(rgb->GetPixel(0, 1), Rgb(4, 4, 4));
    EXPECT_EQ(rgb->GetPixel(0, 0), 0u);
    // An absolute run past the row, ending in the middle of the data.
    std::vector<uint8_t> cut = {0, 200, 1, 2, 3};
    RefPtr<Dib> e = LoadBytes(
        BmpFile(Info(40, 2, 1, 8, 1, static_cast<uint32_t>(cut.size())), GreyTable(256), cut));
    ASSERT_TRUE(e);
    RefPtr<Dib> row = new Dib;
    row->Create(2, 1, 8);
    ASSERT_TRUE(row->Copy(*e));
    EXPECT_EQ(Bytes8(*row)[0], (std::vector<int>{1, 2}));
}

TEST(DibFile, LoadLeavesTheFileAfterTheBitmap) {
    RefPtr<Dib> a = MakeGrey8({{1, 2}, {3, 4}});
    RefPtr<Dib> b = Make24({{Rgb(5, 6, 7)}});
    ASSERT_TRUE(a->SaveToFile(InHome("a.bmp")));
    ASSERT_TRUE(b->SaveToFile(InHome("b.bmp")));
    std::vector<uint8_t> both = ReadBytes(InHome("a.bmp"));
    std::vector<uint8_t> second = ReadBytes(InHome("b.bmp"));
    both.insert(both.end(), second.begin(), second.end());
    both.insert(both.end(), second.begin(), second.end());
    WriteBytes(InHome("both.bmp"), both);
    File f;
    ASSERT_TRUE(f.Open(InHome("both.bmp"), File::readOnly));
    RefPtr<Dib> x = new Dib;
    ASSERT_TRUE(x->Load(f));
    EXPECT_EQ(Bytes8(*x), Bytes8(*a));
    ASSERT_TRUE(x->SkipInFile(f));
    ASSERT_TRUE(x->Load(f));
    EXPECT_EQ(x->GetPixel(0, 0), Rgb(5, 6, 7));
    EXPECT_EQ(f.GetPosition(), both.size());
}

TEST(DibFile, OpenErrors) {
    OpenTestLog();
    RefPtr<Dib> d = new Dib;
    EXPECT_FALSE(d->LoadFromFile(InHome("missing.bmp")));
    EXPECT_TRUE(LogHas("Dib::LoadFromFile can't open file\n"));
    WriteBytes(InHome("text.bmp"),
               {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!'});
    EXPECT_FALSE(d->LoadFromFile(InHome("text.bmp")));
    EXPECT_TRUE(LogHas("Dib::LoadHeader not a bitmap file\n"));
    WriteBytes(InHome("short.bmp"), {'B', 'M', 1});
    EXPECT_FALSE(d->LoadFromFile(InHome("short.bmp")));
    EXPECT_TRUE(LogHas("Dib::LoadHeader can't read file_header\n"));
    EXPECT_TRUE(d->IsEmpty());
}

TEST(DibFile, FailedSaveKeepsTheOldFile) {
    OpenTestLog();
    std::string path = InHome("keep.bmp");
    RefPtr<Dib> a = MakeGrey8({{1, 2}});
    ASSERT_TRUE(a->SaveToFile(path));
    std::vector<uint8_t> before = ReadBytes(path);
    RefPtr<Dib> empty = new Dib;
    EXPECT_FALSE(empty->SaveToFile(path));
    EXPECT_EQ(ReadBytes(path), before);
    RefPtr<Dib> b = MakeGrey8({{3, 4, 5}});
    ASSERT_TRUE(b->SaveToFile(path));
    RefPtr<Dib> back = new Dib;
    ASSERT_TRUE(back->LoadFromFile(path));
    EXPECT_EQ(Bytes8(*back), Bytes8(*b));
    // Nothing is left beside it.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(test::Home()))
        files += e.path().extension() != ".log";
    EXPECT_EQ(files, 1);
}

TEST(DibFile, PaletteIndexImagesAreWrittenWithTheirColours) {
    XPalette grey;
    ASSERT_TRUE(grey.CreateGrey(0));
    XPalette::SetAppPalette(&grey);
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->Create(2, 1, 8, true));
    d->Bits()[0] = 10, d->Bits()[1] = 250;
    ASSERT_TRUE(d->SaveToFile(InHome("pal.bmp")));
    XPalette::SetAppPalette(nullptr);
    RefPtr<Dib> back = new Dib;
    ASSERT_TRUE(back->LoadFromFile(InHome("pal.bmp")));
    EXPECT_EQ(back->GetColorUsage(), Dib::rgbColors);
    EXPECT_EQ(To24(*back)->GetPixel(1, 0), Rgb(250, 250, 250));
}

// Resource libraries made for the test: ResComBmp from the test's home, the
// other libraries from the build.
class OwnBitmapLibrary {
public:
    explicit OwnBitmapLibrary(const ResourceLibraryWriter& w) {
        EXPECT_TRUE(w.Save(InHome("ResComBmp.orl")));
        setenv("ORVIK_RESOURCE_PATH", test::Home().c_str(), 1);
        EXPECT_TRUE(libraries.Load("US", 1, 800, 600));
        Dib::SetResourceLibraries(&libraries);
    }
    ~OwnBitmapLibrary() {
        Dib::SetResourceLibraries(nullptr);
        unsetenv("ORVIK_RESOURCE_PATH");
    }
    ResourceLibraries libraries;
};

TEST(DibFile, LoadsResourceBitmaps) {
    OpenTestLog();
    auto packed = [](const std::vector<uint8_t>& file) {
        return std::vector<uint8_t>(file.begin() + 14, file.end());
    };
    std::vector<uint8_t> table = GreyTable(256);
    table[4 * 7 + 2] = 200; // colour 7 is reddish
    ResourceLibraryWriter w;
    w.Add(ResourceLibrary::bitmap, "PICTURE",
          packed(BmpFile(Info(40, 2, 1, 8, 0), table, {7, 9, 0, 0})));
    std::vector<uint8_t> px = {1, 2, 3, 0};
    w.Add(ResourceLibrary::bitmap, 6342, packed(BmpFile(Info(124, 1, 1, 24, 0), {}, px)));
    OwnBitmapLibrary lib(w);

    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->LoadResource("PICTURE"));
    EXPECT_EQ(Bytes8(*d)[0], (std::vector<int>{7, 9}));
    EXPECT_EQ(d->ColorTable()[7].red, 200);
    // Changing the picture leaves the library's bytes for the next load.
    d->Invert();
    RefPtr<Dib> again = new Dib;
    ASSERT_TRUE(again->LoadResource("PICTURE"));
    EXPECT_EQ(again->GetPixel(0, 0), 7u);
    ASSERT_TRUE(d->LoadResource(6342u));
    EXPECT_EQ(d->GetPixel(0, 0), Rgb(3, 2, 1));
    EXPECT_FALSE(d->LoadResource("NOTHING"));
    EXPECT_TRUE(LogHas("Dib::LoadResource NOTHING failed\n"));
    EXPECT_FALSE(d->LoadResource(77u));
    EXPECT_TRUE(LogHas("Dib::LoadResource #77 failed\n"));

    // Mapped to the application palette: each colour becomes the index of
    // the palette's nearest entry.
    XPalette grey;
    ASSERT_TRUE(grey.CreateGrey(0));
    XPalette::SetAppPalette(&grey);
    ASSERT_TRUE(d->LoadResource("PICTURE", true));
    XPalette::SetAppPalette(nullptr);
    EXPECT_EQ(d->GetColorUsage(), Dib::paletteIndices);
    // Colour 7 (red 200, green 7, blue 7) is nearest to grey 71.
    EXPECT_EQ(Bytes8(*d)[0], (std::vector<int>{71, 9}));

    XPalette fromBitmap;
    EXPECT_TRUE(fromBitmap.LoadFromResource("PICTURE"));
    EXPECT_EQ(fromBitmap.Size(), 256);
    EXPECT_EQ(fromBitmap.At(7).red, 200);
    EXPECT_FALSE(fromBitmap.LoadFromResource("NOTHING"));
    EXPECT_TRUE(LogHas("XPalette::LoadFromResource failed\n"));
}

} // namespace
} // namespace orvik

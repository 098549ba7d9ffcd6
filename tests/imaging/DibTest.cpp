// Pixel operations of Dib on small hand-worked pictures.
#include "imaging/Dib.h"

#include "ImagingTestSupport.h"
#include "imaging/XPalette.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace orvik {
namespace {

using test::Bytes8;
using test::LogHas;
using test::Make24;
using test::MakeGrey8;
using test::OpenTestLog;
using test::PixelsOf;

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

TEST(Dib, DerivedQuantities) {
    struct Case {
        int width, height, bits;
        int lineSize, pixelSize, colorCount, headerSize;
    } cases[] = {
        {1, 1, 8, 4, 1, 256, 40 + 1024}, {3, 2, 24, 12, 3, 0, 40},
        {5, 1, 4, 4, 1, 16, 40 + 64},    {9, 3, 1, 4, 1, 2, 48},
        {33, 1, 1, 8, 1, 2, 48},         {3, 1, 16, 8, 2, 0, 40},
        {3, -4, 32, 12, 4, 0, 40},       {720, 480, 24, 2160, 3, 0, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
        RefPtr<Dib> d = new Dib;
        ASSERT_TRUE(d->Create(c.width, c.height, c.bits));
        EXPECT_EQ(d->LineSize(), c.lineSize);
        EXPECT_EQ(d->PixelSize(), c.pixelSize);
        EXPECT_EQ(d->ColorCount(), c.colorCount);
        EXPECT_EQ(d->HeaderSize(), c.headerSize);
        EXPECT_EQ(d->ImageSize(), static_cast<uint32_t>(c.lineSize * std::abs(c.height)));
        EXPECT_EQ(d->Bits(), reinterpret_cast<uint8_t*>(d->Header()) + c.headerSize);
        EXPECT_TRUE(d->OwnsHeader());
        EXPECT_FALSE(d->OwnsBits());
    }
}

TEST(Dib, CreateRefusesAbsurdSizes) {
    OpenTestLog();
    RefPtr<Dib> d = new Dib;
    EXPECT_FALSE(d->Create(0, 10, 24));
    EXPECT_FALSE(d->Create(10, 0, 24));
    EXPECT_FALSE(d->Create(40000, 10, 24));
    EXPECT_FALSE(d->Create(10, 10, 7));
    EXPECT_TRUE(d->IsEmpty());
    EXPECT_TRUE(LogHas("Dib::Create: width out of range\n"));
}

TEST(Dib, PreviewFormatsAndOddDepths) {
    OpenTestLog();
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->CreatePreviewFormat(Dib::kPcle));
    EXPECT_EQ(d->Width(), 160);
    EXPECT_EQ(d->Height(), 120);
    EXPECT_EQ(d->BitCount(), 24);
    EXPECT_EQ(d->ImageSize(), 12600u);
    EXPECT_EQ(d->LineSize(), 105);
    ASSERT_TRUE(d->CreatePreviewFormat(Dib::kNbxl));
    EXPECT_EQ(d->ImageSize(), 6300u);
    ASSERT_TRUE(d->CreatePreviewFormat(Dib::kYvu9));
    EXPECT_EQ(d->ImageSize(), 21600u);
    EXPECT_EQ(d->PixelSize(), 1);
    EXPECT_TRUE(LogHas("Dib::PixelSize: unexpected biBitCount\n"));
    EXPECT_EQ(d->LineSize(), 0);
    EXPECT_TRUE(LogHas("Dib::LineSize, RLE compression\n"));
    EXPECT_FALSE(d->CreatePreviewFormat(MakeFourCC('X', 'X', 'X', 'X')));
}

TEST(Dib, CreateFromHeaderUsesComputedSize) {
    // An uncompressed header may say 0 for its image size: the pixels get
    // the rows' size all the same, and the colour table has room.
    BitmapInfoHeader h;
    h.width = 7;
    h.height = 5;
    h.bitCount = 8;
    h.sizeImage = 0;
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->CreateFromHeader(h));
    EXPECT_TRUE(d->OwnsBits());
    EXPECT_EQ(d->ImageSize(), 40u);
    EXPECT_TRUE(d->Set(0x5A));
    EXPECT_EQ(d->GetPixel(6, 4), 0x5Au);
    RgbQuad table[256];
    EXPECT_EQ(d->GetColorTable(table), 256);
    EXPECT_EQ(table[255].red, 0);
}

TEST(Dib, PixelAddressCountsFromTheTop) {
    OpenTestLog();
    RefPtr<Dib> up = new Dib, down = new Dib;
    ASSERT_TRUE(up->Create(2, 3, 8));
    ASSERT_TRUE(down->Create(2, -3, 8));
    EXPECT_EQ(up->PixelAddress(0, 0), up->Bits() + 8);
    EXPECT_EQ(up->PixelAddress(1, 2), up->Bits() + 1);
    EXPECT_EQ(down->PixelAddress(0, 0), down->Bits());
    EXPECT_EQ(down->PixelAddress(1, 2), down->Bits() + 9);
    EXPECT_EQ(up->PixelAddress(2, 0), nullptr);
    EXPECT_EQ(up->PixelAddress(0, -1), nullptr);
    EXPECT_TRUE(LogHas("Dib::PixelAddress invalid pixel\n"));
    EXPECT_EQ(up->GetPixel(5, 5), 0u);
}

TEST(Dib, GetPixelAndSetByDepth) {
    RefPtr<Dib> d24 = new Dib, d32 = new Dib, d8 = new Dib;
    ASSERT_TRUE(d24->Create(3, 2, 24));
    ASSERT_TRUE(d24->Set(Rgb(1, 2, 3)));
    uint8_t* p = d24->PixelAddress(2, 1);
    EXPECT_EQ(p[0], 3); // blue
    EXPECT_EQ(p[1], 2);
    EXPECT_EQ(p[2], 1); // red
    EXPECT_EQ(d24->GetPixel(2, 1), Rgb(1, 2, 3));
    ASSERT_TRUE(d32->Create(2, 2, 32));
    ASSERT_TRUE(d32->Set(0x80402010u));
    EXPECT_EQ(d32->GetPixel(1, 1), 0x80402010u);
    EXPECT_EQ(d32->PixelAddress(0, 0)[3], 0x80);
    ASSERT_TRUE(d8->Create(4, 3, 8));
    d8->Set(0);
    Rect r(1, 1, 9, 9); // clipped to the image
    ASSERT_TRUE(d8->Set(0x1234, &r));
    EXPECT_EQ(Bytes8(*d8), (std::vector<std::vector<int>>{
                               {0, 0, 0, 0}, {0, 0x34, 0x34, 0x34}, {0, 0x34, 0x34, 0x34}}));
}

TEST(Dib, SetOnOtherDepths) {
    OpenTestLog();
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->Create(3, 2, 16));
    std::memset(d->Bits(), 0x11, d->ImageSize());
    Rect r(0, 0, 1, 1);
    EXPECT_FALSE(d->Set(0xAB, &r));
    EXPECT_TRUE(LogHas("Dib::Set invalid bitcount\n"));
    EXPECT_EQ(d->Bits()[0], 0x11);
    EXPECT_TRUE(d->Set(0x12AB));
    for (uint32_t i = 0; i < d->ImageSize(); ++i)
        ASSERT_EQ(d->Bits()[i], 0xAB);
}

TEST(Dib, FillOutside) {
    RefPtr<Dib> d = MakeGrey8(std::vector<std::vector<int>>(5, std::vector<int>(6, 0)));
    Rect outer(1, 1, 5, 4), inner(2, 2, 4, 3);
    ASSERT_TRUE(d->FillOutside(9, &outer, &inner));
    EXPECT_EQ(Bytes8(*d), (std::vector<std::vector<int>>{
                              {0, 0, 0, 0, 0, 0},
                              {0, 9, 9, 9, 9, 0},
                              {0, 9, 0, 0, 9, 0},
                              {0, 9, 9, 9, 9, 0},
                              {0, 0, 0, 0, 0, 0},
                          }));
    // An inner rectangle outside the image leaves the whole outer one.
    Rect away(20, 20, 30, 30);
    ASSERT_TRUE(d->FillOutside(7, nullptr, &away));
    EXPECT_EQ(Bytes8(*d), std::vector<std::vector<int>>(5, std::vector<int>(6, 7)));
}

TEST(Dib, CopySameFormatAndClipping) {
    RefPtr<Dib> src = MakeGrey8({{1, 2, 3}, {4, 5, 6}});
    RefPtr<Dib> dst = MakeGrey8({{0, 0, 0}, {0, 0, 0}});
    ASSERT_TRUE(dst->Copy(*src));
    EXPECT_EQ(Bytes8(*dst), Bytes8(*src));

    struct Case {
        Rect target;
        Point from;
        std::vector<std::vector<int>> expect;
    } cases[] = {
        {Rect(1, 0, 3, 2), Point(0, 0), {{0, 1, 2}, {0, 4, 5}}},
        {Rect(0, 0, 3, 2), Point(1, 1), {{5, 6, 0}, {0, 0, 0}}},
        {Rect(-1, -1, 2, 1), Point(0, 0), {{5, 6, 0}, {0, 0, 0}}},
        {Rect(0, 0, 3, 2), Point(-2, 0), {{0, 0, 1}, {0, 0, 4}}},
        {Rect(0, 0, 3, 2), Point(10, 10), {{0, 0, 0}, {0, 0, 0}}}, // wholly outside
        {Rect(2, 2, 1, 1), Point(0, 0), {{0, 0, 0}, {0, 0, 0}}},   // empty
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.target.left << "," << c.target.top << " from "
                                        << c.from.x << "," << c.from.y);
        RefPtr<Dib> t = MakeGrey8({{0, 0, 0}, {0, 0, 0}});
        EXPECT_TRUE(t->Copy(*src, &c.target, &c.from));
        EXPECT_EQ(Bytes8(*t), c.expect);
    }
}

TEST(Dib, CopyOntoItselfOverlapping) {
    RefPtr<Dib> d = MakeGrey8({{1, 2}, {3, 4}, {5, 6}, {7, 8}});
    Rect down(0, 1, 2, 4);
    Point top(0, 0);
    ASSERT_TRUE(d->Copy(*d, &down, &top));
    EXPECT_EQ(Bytes8(*d), (std::vector<std::vector<int>>{{1, 2}, {1, 2}, {3, 4}, {5, 6}}));
    Rect up(0, 0, 2, 3);
    Point second(0, 1);
    ASSERT_TRUE(d->Copy(*d, &up, &second));
    EXPECT_EQ(Bytes8(*d), (std::vector<std::vector<int>>{{1, 2}, {3, 4}, {5, 6}, {5, 6}}));
}

TEST(Dib, CopyConverts) {
    // 24 -> 32 keeps the fourth byte; 32 -> 24 drops it.
    RefPtr<Dib> c24 = Make24({{Rgb(10, 20, 30), Rgb(40, 50, 60)}});
    RefPtr<Dib> c32 = new Dib;
    ASSERT_TRUE(c32->Create(2, 1, 32));
    c32->Set(0x77000000u);
    ASSERT_TRUE(c32->Copy(*c24));
    EXPECT_EQ(c32->GetPixel(0, 0), 0x770A141Eu);
    EXPECT_EQ(c32->GetPixel(1, 0), 0x7728323Cu);
    RefPtr<Dib> back = new Dib;
    ASSERT_TRUE(back->Create(2, 1, 24));
    ASSERT_TRUE(back->Copy(*c32));
    EXPECT_EQ(PixelsOf(*back), PixelsOf(*c24));

    // 8 -> 24 through the colour table; indices past the table are black.
    RefPtr<Dib> idx = new Dib;
    ASSERT_TRUE(idx->Create(3, 1, 8));
    idx->Header()->clrUsed = 2;
    RgbQuad* t = idx->ColorTable();
    t[0] = RgbQuad{1, 2, 3, 0};
    t[1] = RgbQuad{4, 5, 6, 0};
    idx->Bits()[0] = 1, idx->Bits()[1] = 0, idx->Bits()[2] = 200;
    RefPtr<Dib> out = new Dib;
    ASSERT_TRUE(out->Create(3, 1, 24));
    ASSERT_TRUE(out->Copy(*idx));
    EXPECT_EQ(PixelsOf(*out)[0], (std::vector<uint32_t>{Rgb(6, 5, 4), Rgb(3, 2, 1), 0}));
}

TEST(Dib, CopyFromSubByteDepths) {
    RefPtr<Dib> four = new Dib;
    ASSERT_TRUE(four->Create(3, 1, 4));
    four->ColorTable()[0xA] = RgbQuad{10, 11, 12, 0};
    four->ColorTable()[0x3] = RgbQuad{30, 31, 32, 0};
    four->ColorTable()[0xF] = RgbQuad{250, 251, 252, 0};
    four->Bits()[0] = 0xA3;
    four->Bits()[1] = 0xF0;
    RefPtr<Dib> idx = new Dib, rgb = new Dib;
    ASSERT_TRUE(idx->Create(3, 1, 8));
    ASSERT_TRUE(idx->Copy(*four));
    EXPECT_EQ(Bytes8(*idx)[0], (std::vector<int>{0xA, 0x3, 0xF}));
    ASSERT_TRUE(rgb->Create(3, 1, 24));
    ASSERT_TRUE(rgb->Copy(*four));
    EXPECT_EQ(PixelsOf(*rgb)[0],
              (std::vector<uint32_t>{Rgb(12, 11, 10), Rgb(32, 31, 30), Rgb(252, 251, 250)}));

    RefPtr<Dib> one = new Dib;
    ASSERT_TRUE(one->Create(10, 1, 1));
    one->ColorTable()[0] = RgbQuad{0, 0, 0, 0};
    one->ColorTable()[1] = RgbQuad{255, 128, 1, 0};
    one->Bits()[0] = 0b10100000;
    one->Bits()[1] = 0b01000000;
    RefPtr<Dib> wide = new Dib;
    ASSERT_TRUE(wide->Create(10, 1, 24));
    ASSERT_TRUE(wide->Copy(*one));
    std::vector<uint32_t> expect(10, 0);
    expect[0] = expect[2] = expect[9] = Rgb(1, 128, 255);
    EXPECT_EQ(PixelsOf(*wide)[0], expect);
}

TEST(Dib, Copy16To24) {
    OpenTestLog();
    // 5-5-5: v = 0x7FFF is white less the low bits; 0x4210 is 16 in each channel.
    RefPtr<Dib> d555 = new Dib;
    ASSERT_TRUE(d555->Create(2, 1, 16));
    uint16_t px555[2] = {0x7C1F, 0x4210};
    std::memcpy(d555->Bits(), px555, 4);
    RefPtr<Dib> out = new Dib;
    ASSERT_TRUE(out->Create(2, 1, 24));
    ASSERT_TRUE(out->Copy(*d555));
    // 0x7C1F: red 31, green 0, blue 31 -> 248, 0, 248.
    EXPECT_EQ(PixelsOf(*out)[0], (std::vector<uint32_t>{Rgb(248, 0, 248), Rgb(128, 128, 128)}));

    RefPtr<Dib> d565 = new Dib;
    ASSERT_TRUE(d565->CreateBitFields(2, 1, 16, 0xf800, 0x7e0, 0x1f));
    EXPECT_EQ(d565->Get16BitLayout(), Dib::layout565);
    uint16_t px565[2] = {0x07E0, 0xF801};
    std::memcpy(d565->Bits(), px565, 4);
    ASSERT_TRUE(out->Copy(*d565));
    EXPECT_EQ(PixelsOf(*out)[0], (std::vector<uint32_t>{Rgb(0, 252, 0), Rgb(248, 0, 8)}));

    RefPtr<Dib> bad = new Dib;
    ASSERT_TRUE(bad->CreateBitFields(2, 1, 16, 0xf00, 0xf0, 0xf));
    out->Set(Rgb(9, 9, 9));
    EXPECT_FALSE(out->Copy(*bad));
    EXPECT_TRUE(LogHas("Dib::Copy16To24 invalid format\n"));
    EXPECT_EQ(out->GetPixel(0, 0), Rgb(9, 9, 9));
}

TEST(Dib, CopyFailures) {
    OpenTestLog();
    RefPtr<Dib> empty = new Dib, c24 = Make24({{1}}), g8 = MakeGrey8({{1}});
    EXPECT_FALSE(c24->Copy(*empty));
    EXPECT_TRUE(LogHas("Dib::Copy no bitmap\n"));
    EXPECT_FALSE(g8->Copy(*c24));
    EXPECT_TRUE(LogHas("Dib::Copy unimplemented format\n"));
}

TEST(Dib, CompositeHandWorked) {
    RefPtr<Dib> bg = Make24({{Rgb(100, 100, 100)}});
    RefPtr<Dib> fg = Make24({{Rgb(200, 200, 200)}});
    RefPtr<Dib> alpha = MakeGrey8({{128}});
    ASSERT_TRUE(bg->Composite(*fg, *alpha));
    EXPECT_EQ(bg->GetPixel(0, 0), Rgb(150, 150, 150));
    RefPtr<Dib> bg2 = Make24({{Rgb(100, 100, 100)}});
    ASSERT_TRUE(bg2->Composite(*fg, *alpha, nullptr, nullptr, true));
    EXPECT_EQ(bg2->GetPixel(0, 0), Rgb(178, 178, 178));
    // Alpha 1 plain: (200 + 100 * 255) >> 8 = 100.
    RefPtr<Dib> bg3 = Make24({{Rgb(100, 100, 100)}});
    RefPtr<Dib> a1 = MakeGrey8({{1}});
    ASSERT_TRUE(bg3->Composite(*fg, *a1));
    EXPECT_EQ(bg3->GetPixel(0, 0), Rgb(100, 100, 100));
}

TEST(Dib, CompositeAtFullAndNoAlphaGivesOverlayAndBackground) {
    std::mt19937 rng(7);
    auto randomImage = [&](int bits, int w, int h) {
        RefPtr<Dib> d = new Dib;
        d->Create(w, h, bits);
        for (uint32_t i = 0; i < d->ImageSize(); ++i)
            d->Bits()[i] = static_cast<uint8_t>(rng());
        return d;
    };
    for (int sourceBits : {24, 32})
        for (int alphaBits : {8, 32})
            for (bool premultiplied : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << sourceBits << "/" << alphaBits << "/" << premultiplied);
                // Wider than one block of the compositing loop.
                const int w = 700, h = 3;
                RefPtr<Dib> bg = randomImage(24, w, h), fg = randomImage(sourceBits, w, h);
                RefPtr<Dib> alpha = randomImage(alphaBits, w, h);
                RefPtr<Dib> before = new Dib;
                before->Create(w, h, 24);
                before->Copy(*bg);
                // Alpha 255 on the left half, 0 on the right, except every
                // seventh pixel of the right half, which is 77.
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        uint8_t* a = alpha->PixelAddress(x, y) + (alphaBits == 32 ? 3 : 0);
                        *a = x < w / 2 ? 255 : (x % 7 == 0 ? 77 : 0);
                    }
                ASSERT_TRUE(bg->Composite(*fg, *alpha, nullptr, nullptr, premultiplied));
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const uint8_t* d = bg->PixelAddress(x, y);
                        const uint8_t* s = fg->PixelAddress(x, y);
                        const uint8_t* o = before->PixelAddress(x, y);
                        for (int c = 0; c < 3; ++c) {
                            int expect = x < w / 2    ? s[c]
                                         : x % 7 != 0 ? o[c]
                                         : premultiplied
                                             ? std::min<int>(s[c], 77) + ((o[c] * (256 - 77)) >> 8)
                                             : (s[c] * 77 + o[c] * (256 - 77)) >> 8;
                            ASSERT_EQ(d[c], expect) << "x " << x << " y " << y << " c " << c;
                        }
                    }
            }
}

TEST(Dib, CompositeClipsAgainstTheAlphaPicture) {
    RefPtr<Dib> bg = Make24(std::vector<std::vector<uint32_t>>(4, std::vector<uint32_t>(4, 0)));
    RefPtr<Dib> fg =
        Make24(std::vector<std::vector<uint32_t>>(4, std::vector<uint32_t>(4, kWhite)));
    RefPtr<Dib> alpha = MakeGrey8({{255, 255}, {255, 255}});
    Point from(1, 0);
    ASSERT_TRUE(bg->Composite(*fg, *alpha, nullptr, &from));
    // The source point (1, 0) leaves one alpha column: target column 0.
    std::vector<std::vector<uint32_t>> expect(4, std::vector<uint32_t>(4, 0));
    expect[0][0] = expect[1][0] = kWhite;
    EXPECT_EQ(PixelsOf(*bg), expect);
}

TEST(Dib, CompositeRefusesOtherDepths) {
    OpenTestLog();
    RefPtr<Dib> g = MakeGrey8({{1}}), c = Make24({{1}});
    EXPECT_FALSE(g->Composite(*c, *g));
    EXPECT_FALSE(c->Composite(*g, *g));
    EXPECT_TRUE(LogHas("Dib::Composite invalid bitcount\n"));
}

TEST(Dib, SelfKeyExtractAndCopyAlpha) {
    OpenTestLog();
    RefPtr<Dib> src = Make24(
        {{Rgb(1, 2, 3), Rgb(9, 9, 9), Rgb(1, 2, 3)}, {Rgb(1, 2, 4), Rgb(1, 2, 3), Rgb(0, 0, 0)}});
    RefPtr<Dib> mask = new Dib;
    ASSERT_TRUE(mask->Create(2, 3, 8)); // smaller width, taller: common part only
    mask->Set(42);
    ASSERT_TRUE(mask->SelfKey(*src));
    EXPECT_TRUE(mask->IsGreyPalette());
    EXPECT_EQ(Bytes8(*mask), (std::vector<std::vector<int>>{{0, 255}, {255, 0}, {42, 42}}));
    EXPECT_FALSE(src->SelfKey(*mask));
    EXPECT_TRUE(LogHas("Dib::SelfKey invalid bitcount\n"));

    RefPtr<Dib> c32 = new Dib;
    ASSERT_TRUE(c32->Create(2, 1, 32));
    uint32_t px[2] = {0x11223344u, 0xAABBCCDDu};
    std::memcpy(c32->Bits(), px, 8);
    RefPtr<Dib> a = MakeGrey8({{0, 0}});
    ASSERT_TRUE(a->ExtractAlpha(*c32));
    EXPECT_EQ(Bytes8(*a)[0], (std::vector<int>{0x11, 0xAA}));
    RefPtr<Dib> b = MakeGrey8({{5, 6}});
    ASSERT_TRUE(c32->CopyAlpha(*b));
    EXPECT_EQ(c32->GetPixel(0, 0), 0x05223344u);
    EXPECT_EQ(c32->GetPixel(1, 0), 0x06BBCCDDu);
    EXPECT_FALSE(a->ExtractAlpha(*a));
    EXPECT_TRUE(LogHas("Dib::ExtractAlpha: source bitcount != 32\n"));
    EXPECT_FALSE(c32->ExtractAlpha(*c32));
    EXPECT_TRUE(LogHas("Dib::ExtractAlpha: target bitcount != 8\n"));
    EXPECT_FALSE(c32->CopyAlpha(*c32));
    EXPECT_TRUE(LogHas("Dib::CopyAlpha: source bitcount != 8\n"));
    EXPECT_FALSE(a->CopyAlpha(*b));
    EXPECT_TRUE(LogHas("Dib::CopyAlpha: target bitcount != 32\n"));
}

TEST(Dib, MapToGreyScale) {
    OpenTestLog();
    RefPtr<Dib> grey = new Dib;
    RefPtr<Dib> c24 = Make24({{Rgb(10, 20, 31), Rgb(255, 255, 255)}});
    ASSERT_TRUE(grey->MapToGreyScale(*c24));
    EXPECT_EQ(grey->BitCount(), 8);
    EXPECT_TRUE(grey->IsGreyPalette());
    EXPECT_EQ(Bytes8(*grey)[0], (std::vector<int>{(61 + 1) / 3, 255}));

    RefPtr<Dib> idx = new Dib;
    ASSERT_TRUE(idx->Create(3, 1, 8));
    idx->Header()->clrUsed = 2;
    idx->ColorTable()[0] = RgbQuad{30, 60, 90, 0};
    idx->ColorTable()[1] = RgbQuad{0, 0, 2, 0};
    idx->Bits()[0] = 0, idx->Bits()[1] = 1, idx->Bits()[2] = 77; // 77 lies past the table
    ASSERT_TRUE(grey->MapToGreyScale(*idx));
    EXPECT_EQ(Bytes8(*grey)[0], (std::vector<int>{60, 0, 77}));

    RefPtr<Dib> d565 = new Dib;
    ASSERT_TRUE(d565->CreateBitFields(1, 1, 16, 0xf800, 0x7e0, 0x1f));
    uint16_t v = 0xFFFF; // 248 + 252 + 248 = 748 -> 249
    std::memcpy(d565->Bits(), &v, 2);
    ASSERT_TRUE(grey->MapToGreyScale(*d565));
    EXPECT_EQ(grey->GetPixel(0, 0), 249u);

    // The source may be the image itself.
    RefPtr<Dib> self = Make24({{Rgb(3, 3, 3)}});
    ASSERT_TRUE(self->MapToGreyScale(*self));
    EXPECT_EQ(self->BitCount(), 8);
    EXPECT_EQ(self->GetPixel(0, 0), 3u);

    RefPtr<Dib> c32 = new Dib;
    ASSERT_TRUE(c32->Create(1, 1, 32));
    EXPECT_FALSE(grey->MapToGreyScale(*c32));
    EXPECT_TRUE(LogHas("Dib::MapToGreyScale invalid pixel size\n"));
}

TEST(Dib, InvertAndRebuildField) {
    RefPtr<Dib> d = MakeGrey8({{0, 10}, {255, 21}});
    ASSERT_TRUE(d->Invert());
    EXPECT_EQ(Bytes8(*d), (std::vector<std::vector<int>>{{255, 245}, {0, 234}}));
    RefPtr<Dib> two = MakeGrey8({{10, 0}, {21, 255}});
    ASSERT_TRUE(two->RebuildField(true)); // row 0 from itself and row 1
    EXPECT_EQ(Bytes8(*two), (std::vector<std::vector<int>>{{16, 128}, {21, 255}}));
    RefPtr<Dib> three = MakeGrey8({{10}, {99}, {21}, {50}});
    ASSERT_TRUE(three->RebuildField(false)); // rows 1 and 3
    EXPECT_EQ(Bytes8(*three), (std::vector<std::vector<int>>{{10}, {16}, {21}, {36}}));
}

TEST(Dib, ColorRampCubeAndGreyTest) {
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->Create(1, 1, 8));
    ASSERT_TRUE(d->SetColorRamp(256, kBlack, kWhite));
    EXPECT_TRUE(d->IsGreyPalette());
    ASSERT_TRUE(d->SetColorRamp(16, kBlack, Rgb(255, 30, 0)));
    RgbQuad* t = d->ColorTable();
    EXPECT_EQ(t[5].red, 85);   // 5 * 255 / 15
    EXPECT_EQ(t[5].green, 10); // 5 * 30 / 15
    EXPECT_EQ(t[15].red, 255);
    EXPECT_EQ(t[16].red, 192);
    EXPECT_EQ(t[255].blue, 192);
    EXPECT_FALSE(d->IsGreyPalette());
    ASSERT_TRUE(d->SetColorCube());
    // 1 * 32 + 2 * 4 + 3: green 1, red 2, blue 3.
    EXPECT_EQ(t[43].green, 36);
    EXPECT_EQ(t[43].red, 72);
    EXPECT_EQ(t[43].blue, 255);
    EXPECT_EQ(t[255].green, 255);
}

TEST(Dib, PaletteIndices) {
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->Create(2, 2, 8, true));
    EXPECT_EQ(d->GetColorUsage(), Dib::paletteIndices);
    auto* indices = reinterpret_cast<uint16_t*>(d->ColorTable());
    EXPECT_EQ(indices[0], 0);
    EXPECT_EQ(indices[200], 200);
    // Without an application palette the fixed 3-3-2 cube stands in.
    RgbQuad table[256];
    ASSERT_EQ(d->GetColorTable(table), 256);
    EXPECT_EQ(table[43].red, 72);
    XPalette grey;
    ASSERT_TRUE(grey.CreateGrey(0));
    XPalette::SetAppPalette(&grey);
    d->GetColorTable(table);
    EXPECT_EQ(table[43].red, 43);
    EXPECT_TRUE(d->IsGreyPalette());
    XPalette::SetAppPalette(nullptr);
}

TEST(Dib, RemapIndices) {
    uint8_t map[256];
    for (int i = 0; i < 256; ++i)
        map[i] = static_cast<uint8_t>(255 - i);
    RefPtr<Dib> d = MakeGrey8({{0, 1}, {2, 254}});
    ASSERT_TRUE(d->RemapIndices(map));
    EXPECT_EQ(Bytes8(*d), (std::vector<std::vector<int>>{{255, 254}, {253, 1}}));

    // A run-length stream keeps its control bytes.
    uint8_t stream[] = {3, 5, 0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 0, 0, 0, 1};
    uint8_t expect[] = {3, 250, 0, 3, 254, 253, 252, 0, 0, 2, 1, 1, 0, 0, 0, 1};
    std::vector<uint8_t> block(40 + 1024 + sizeof stream);
    BitmapInfoHeader h;
    h.width = 4;
    h.height = 3;
    h.bitCount = 8;
    h.compression = Dib::compressionRle8;
    h.sizeImage = sizeof stream;
    std::memcpy(block.data(), &h, 40);
    std::memcpy(block.data() + 40 + 1024, stream, sizeof stream);
    RefPtr<Dib> rle = new Dib;
    ASSERT_TRUE(rle->Attach(reinterpret_cast<BitmapInfoHeader*>(block.data()), nullptr));
    ASSERT_TRUE(rle->RemapIndices(map));
    EXPECT_EQ(0, std::memcmp(rle->Bits(), expect, sizeof expect));
}

TEST(Dib, AttachReleaseAndTakeOver) {
    std::vector<uint8_t> packed(40 + 4 * 2 + 4);
    BitmapInfoHeader h;
    h.width = 3;
    h.height = 1;
    h.bitCount = 1;
    std::memcpy(packed.data(), &h, 40);
    RefPtr<Dib> a = new Dib;
    ASSERT_TRUE(a->Attach(reinterpret_cast<BitmapInfoHeader*>(packed.data()), nullptr));
    EXPECT_EQ(a->Bits(), packed.data() + 48);
    EXPECT_FALSE(a->OwnsHeader());
    EXPECT_FALSE(a->Attach(nullptr, nullptr));
    EXPECT_TRUE(a->IsEmpty());

    RefPtr<Dib> owner = MakeGrey8({{4, 5}});
    owner->Create(2, 1, 8, true);
    uint8_t* bits = owner->Bits();
    RefPtr<Dib> taker = new Dib;
    taker->TakeOver(*owner);
    EXPECT_TRUE(owner->IsEmpty());
    EXPECT_EQ(owner->GetColorUsage(), Dib::rgbColors);
    EXPECT_EQ(taker->Bits(), bits);
    EXPECT_TRUE(taker->OwnsHeader());
    EXPECT_EQ(taker->GetColorUsage(), Dib::paletteIndices);
    taker->Release();
    EXPECT_TRUE(taker->IsEmpty());
    EXPECT_EQ(taker->GetColorUsage(), Dib::rgbColors);
}

TEST(Dib, SerializeRoundTrip) {
    RefPtr<Dib> d = MakeGrey8({{1, 2, 3}, {4, 5, 6}});
    RefPtr<Dib> e = new Dib;
    MemFile mem;
    {
        Archive ar(mem, Archive::store);
        d->Serialize(ar);
        e->Serialize(ar); // an empty image
        ar.Close();
    }
    EXPECT_EQ(mem.GetLength(), static_cast<uint64_t>(d->HeaderSize()) + d->ImageSize() + 40);
    mem.SeekToBegin();
    RefPtr<Dib> back = new Dib, empty = Make24({{1}});
    Archive ar(mem, Archive::load);
    back->Serialize(ar);
    empty->Serialize(ar);
    EXPECT_EQ(Bytes8(*back), Bytes8(*d));
    EXPECT_TRUE(back->IsGreyPalette());
    EXPECT_TRUE(empty->IsEmpty());
}

TEST(Dib, DamagedArchivesRaise) {
    OpenTestLog();
    RefPtr<Dib> d = MakeGrey8({{1, 2, 3}, {4, 5, 6}});
    MemFile mem;
    {
        Archive ar(mem, Archive::store);
        d->Serialize(ar);
        ar.Close();
    }
    std::vector<uint8_t> good = mem.Bytes();
    auto load = [](std::vector<uint8_t> bytes) {
        MemFile m(bytes.data(), bytes.size());
        Archive ar(m, Archive::load);
        RefPtr<Dib> x = new Dib;
        x->Serialize(ar);
    };
    std::vector<uint8_t> shortBytes(good.begin(), good.end() - 1);
    EXPECT_THROW(load(shortBytes), ArchiveException);
    EXPECT_TRUE(LogHas("Dib::LoadFromArchive can't read bits\n"));
    std::vector<uint8_t> huge = good;
    huge[4] = 0xFF, huge[5] = 0xFF, huge[6] = 0xFF, huge[7] = 0x7F; // width
    EXPECT_THROW(load(huge), ArchiveException);
    std::vector<uint8_t> colours = good;
    colours[32] = 0x01, colours[33] = 0x10; // 4097 colours
    EXPECT_THROW(load(colours), ArchiveException);
    EXPECT_TRUE(LogHas("Dib::LoadFromArchive: more than 256 colours\n"));
}

} // namespace
} // namespace orvik

// The drawing layer and the images drawn through it: surfaces, palettes,
// shapes, text, vector drawings, stretching, DibSection and DibSectionDC.
#include "imaging/DibSection.h"

#include "ImagingTestSupport.h"
#include "imaging/DibSectionDC.h"
#include "imaging/XPalette.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "platform/gdi/DrawContext.h"
#include "platform/gdi/DrawingSurface.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Palette.h"
#include "platform/gdi/VectorDrawing.h"
#include "platform/resources/ResourceLibrary.h"

#include <cstring>
#include <gtest/gtest.h>

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

// A grey 8-bit section of w x h filled with 0.
RefPtr<DibSection> GreySection(int w, int h) {
    RefPtr<DibSection> s = new DibSection;
    EXPECT_TRUE(s->CreateDIBSection(w, h, 8, false, nullptr));
    EXPECT_TRUE(s->SetColorRamp(256, kBlack, kWhite));
    s->Set(0);
    return s;
}

// The section's pixels as characters: '.' for 0, '#' for anything else.
std::vector<std::string> Picture(const Dib& d) {
    std::vector<std::string> out;
    for (int y = 0; y < d.AbsHeight(); ++y) {
        std::string row;
        for (int x = 0; x < d.Width(); ++x)
            row += *d.PixelAddress(x, y) ? '#' : '.';
        out.push_back(row);
    }
    return out;
}

TEST(Palette, NearestIndex) {
    Palette p;
    Palette::Entry e[4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}, {250, 5, 0, 0}};
    ASSERT_TRUE(p.Create(e, 4));
    EXPECT_EQ(p.NearestIndex(Rgb(10, 10, 10)), 0);
    EXPECT_EQ(p.NearestIndex(Rgb(254, 0, 0)), 1);
    EXPECT_EQ(p.NearestIndex(Rgb(251, 4, 0)), 3);
    EXPECT_EQ(p.NearestIndex(Rgb(0, 0, 128)), 2); // 128^2 against 127^2
    EXPECT_EQ(p.NearestIndex(Rgb(0, 0, 127)), 0);
    EXPECT_EQ(p.NearestIndex(PaletteIndex(2)), 2);
    EXPECT_EQ(p.NearestColor(Rgb(200, 0, 0)), Rgb(250, 5, 0));
    EXPECT_FALSE(p.Create(e, 0));
}

TEST(XPalette, FormsAndSystemPalette) {
    OpenTestLog();
    XPalette grey;
    ASSERT_TRUE(grey.CreateGrey(0));
    EXPECT_EQ(grey.Size(), 256);
    EXPECT_EQ(grey.At(77).red, 77);
    EXPECT_EQ(grey.At(77).flags, Palette::kNoCollapse);
    ASSERT_TRUE(grey.CreateGrey(16));
    EXPECT_EQ(grey.Size(), 16);
    EXPECT_FALSE(grey.SetSystemPalette());
    EXPECT_TRUE(LogHas("XPalette::SetSystemPalette() - too many palette colors\n"));
    uint8_t rgbf[8] = {1, 2, 3, 0, 4, 5, 6, 4};
    ASSERT_TRUE(grey.CreateFromEntries(rgbf, 8));
    EXPECT_EQ(grey.At(1).blue, 6);
    EXPECT_FALSE(grey.CreateFromEntries(rgbf, 7));
    EXPECT_TRUE(LogHas("XPalette - could not create palette\n"));
    // The application palette falls back to the fixed cube when the one
    // set goes away.
    {
        XPalette app;
        app.CreateGrey(0);
        XPalette::SetAppPalette(&app);
        EXPECT_EQ(&XPalette::AppPalette(), &app);
    }
    EXPECT_EQ(XPalette::AppPalette().Size(), 256);
    EXPECT_EQ(XPalette::AppPalette().At(255).red, 255);
}

TEST(DrawingSurface, RowsAndColours) {
    DrawingSurface s;
    EXPECT_FALSE(s.Create(0, 5, 24));
    EXPECT_FALSE(s.Create(5, 5, 12));
    ASSERT_TRUE(s.Create(5, -3, 24));
    EXPECT_EQ(s.Stride(), 16);
    EXPECT_EQ(s.ByteSize(), 48u);
    EXPECT_FALSE(s.BottomUp());
    EXPECT_EQ(s.SetColorTable(0, 4, reinterpret_cast<const uint8_t*>("abcdabcd")), 0);
    ASSERT_TRUE(s.Create(3, 2, 4));
    uint8_t quads[20 * 4] = {};
    EXPECT_EQ(s.SetColorTable(10, 10, quads), 6); // 16 entries in all
}

TEST(DibSection, CreatesBlankSurfaces) {
    RefPtr<DibSection> s = new DibSection;
    ASSERT_TRUE(s->CreateDIBSection(7, 3, 24, false, nullptr));
    ASSERT_NE(s->Surface(), nullptr);
    EXPECT_EQ(s->Bits(), s->Surface()->Pixels());
    EXPECT_FALSE(s->OwnsBits());
    for (uint32_t i = 0; i < s->ImageSize(); ++i)
        ASSERT_EQ(s->Bits()[i], 205);
    EXPECT_EQ(s->Surface()->Stride(), s->LineSize());
    // Palette indices take their colours from the palette given.
    XPalette grey;
    grey.CreateGrey(0);
    ASSERT_TRUE(s->CreateDIBSection(2, 2, 8, true, &grey));
    EXPECT_EQ(s->GetColorUsage(), Dib::paletteIndices);
    EXPECT_EQ(s->Surface()->ColorTable()[4 * 9 + 2], 9);
    OpenTestLog();
    EXPECT_FALSE(s->CreateDIBSection(0, 2, 8, false, nullptr));
    EXPECT_TRUE(LogHas("DibSection::CreateDIBSection failed\n"));
    EXPECT_EQ(s->Surface(), nullptr);
}

TEST(DibSection, DrawsShapes) {
    RefPtr<DibSection> s = GreySection(8, 6);
    {
        DibSectionDC dc(*s);
        ASSERT_TRUE(dc.IsValid());
        dc.SetPen(kWhite);
        dc.MoveTo(0, 0);
        dc.LineTo(4, 0); // the end point is not drawn
        dc.LineTo(4, 3);
        dc.SetPen(Grey(100));
        dc.SetBrush(Grey(50));
        dc.Rectangle(Rect(5, 1, 8, 6));
        dc.FillRect(Rect(0, 5, 2, 9), Grey(7));
    }
    EXPECT_EQ(Picture(*s), (std::vector<std::string>{"#####...", "....####", "....####", ".....###",
                                                     ".....###", "##...###"}));
    EXPECT_EQ(s->GetPixel(4, 2), 255u);
    EXPECT_EQ(s->GetPixel(5, 1), 100u); // outline
    EXPECT_EQ(s->GetPixel(6, 3), 50u);  // interior
    EXPECT_EQ(s->GetPixel(7, 5), 100u);
    EXPECT_EQ(s->GetPixel(1, 5), 7u);
}

TEST(DibSection, DrawsEllipsesAndPolygonsSymmetrically) {
    RefPtr<DibSection> s = GreySection(9, 9);
    {
        DibSectionDC dc(*s);
        dc.SetNullPen();
        dc.SetBrush(kWhite);
        dc.Ellipse(Rect(0, 0, 9, 9));
    }
    std::vector<std::string> circle = Picture(*s);
    EXPECT_EQ(circle[4], "#########");
    EXPECT_EQ(circle[0][0], '.');
    EXPECT_EQ(circle[0][4], '#');
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(circle[y][x], circle[8 - y][x]);
            ASSERT_EQ(circle[y][x], circle[y][8 - x]);
            ASSERT_EQ(circle[y][x], circle[x][y]);
        }
    s->Set(0);
    {
        DibSectionDC dc(*s);
        dc.SetNullPen();
        dc.SetBrush(kWhite);
        Point triangle[3] = {Point(0, 0), Point(8, 0), Point(0, 8)};
        dc.Polygon(triangle, 3);
    }
    // Pixel centres on or above the diagonal through the corner centres.
    std::vector<std::string> tri = Picture(*s);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(tri[y][x], x + y < 8 ? '#' : '.') << x << "," << y;
}

TEST(DibSection, DrawsText) {
    auto font = Font::Create("DejaVu Sans", 20);
    ASSERT_TRUE(font) << "DejaVu fonts are missing";
    EXPECT_NE(font->FilePath().find("DejaVu"), std::string::npos);
    EXPECT_GT(font->Ascent(), 10);
    EXPECT_GT(font->Measure("Orvik"), font->Measure("Orv"));
    EXPECT_FALSE(Font::Create("DejaVu Sans", 0));

    RefPtr<DibSection> s = new DibSection;
    ASSERT_TRUE(s->CreateDIBSection(80, 30, 24, false, nullptr));
    s->Set(kWhite);
    int advance = 0;
    {
        DibSectionDC dc(*s);
        dc.SelectFont(font);
        dc.SetTextColor(Rgb(0, 0, 200));
        advance = dc.TextOut(2, 2, "Orvik");
        EXPECT_EQ(advance, dc.TextWidth("Orvik"));
    }
    EXPECT_GT(advance, 30);
    // Ink only inside the line box, and solid blue at some stroke.
    int inked = 0, solid = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            uint32_t v = s->GetPixel(x, y);
            if (v == kWhite)
                continue;
            ++inked;
            solid += v == Rgb(0, 0, 200);
            EXPECT_GE(x, 2);
            EXPECT_LT(x, 2 + advance + 2);
            EXPECT_GE(y, 2);
            EXPECT_LT(y, 2 + font->LineHeight());
            // Blends lie between white and the text colour.
            EXPECT_EQ(RedOf(v), GreenOf(v));
            EXPECT_GE(BlueOf(v), 200);
        }
    EXPECT_GT(inked, 60);
    EXPECT_GT(solid, 10);
}

TEST(VectorDrawing, ParsesItsOwnForm) {
    const char* good = "# a test\nORVIK-DRAWING 1\nframe 0 0 100 50\ncolor 255 0 0\n"
                       "polygon 0 0 100 0 50 50\nellipse 10 10 20 20\nrectangle 1 2 3 4\n"
                       "line 0 0 10 10 20 0\n";
    VectorDrawing d;
    std::string error;
    ASSERT_TRUE(d.Parse(reinterpret_cast<const uint8_t*>(good), std::strlen(good), &error))
        << error;
    EXPECT_EQ(d.Frame(), Rect(0, 0, 100, 50));
    ASSERT_EQ(d.Shapes().size(), 4u);
    EXPECT_EQ(d.Shapes()[0].color, Rgb(255, 0, 0));
    VectorDrawing again;
    std::string text = d.Text();
    ASSERT_TRUE(again.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    EXPECT_EQ(again.Text(), text);

    struct Case {
        const char* text;
        const char* error;
    } bad[] = {
        {"", "line 0: empty drawing"},
        {"DRAWING 1\n", "line 1: not a drawing"},
        {"ORVIK-DRAWING 2\n", "line 1: drawing version 2 is not supported"},
        {"ORVIK-DRAWING 1\npolygon 0 0 1 1 2 0\n", "the drawing has no frame"},
        {"ORVIK-DRAWING 1\nframe 0 0 0 10\n", "line 2: empty frame"},
        {"ORVIK-DRAWING 1\nframe 0 0 9 9\npolygon 0 0 1 1\n", "line 3: polygon takes at least 3"},
        {"ORVIK-DRAWING 1\nframe 0 0 9 9\nline 0 0 1x 1\n", "line 3: bad number \"1x\""},
        {"ORVIK-DRAWING 1\nframe 0 0 9 9\nellipse 0 0 1 99999999\n", "line 3: bad number"},
        {"ORVIK-DRAWING 1\nframe 0 0 9 9\ncolor 0 0 256\n", "line 3: color takes 3 numbers"},
        {"ORVIK-DRAWING 1\nframe 0 0 9 9\ncurve 0 0\n", "line 3: unknown record \"curve\""},
    };
    for (const Case& c : bad) {
        SCOPED_TRACE(c.text);
        std::string why;
        EXPECT_FALSE(d.Parse(reinterpret_cast<const uint8_t*>(c.text), std::strlen(c.text), &why));
        EXPECT_NE(why.find(c.error), std::string::npos) << why;
        EXPECT_FALSE(d.IsValid());
    }
}

// The drawings of the pattern wipes, as the build compiled them into the
// bitmap library.
VectorDrawing WipeDrawing(uint32_t number) {
    ResourceLibrary lib;
    std::string error;
    EXPECT_TRUE(lib.Load(std::string(ORVIK_BIN_DIR) + "/ResComBmp.orl", &error)) << error;
    const std::vector<uint8_t>* bytes = lib.Find(ResourceLibrary::data, number);
    VectorDrawing d;
    EXPECT_TRUE(bytes);
    if (bytes) {
        EXPECT_TRUE(d.Parse(bytes->data(), bytes->size(), &error)) << error;
    }
    return d;
}

TEST(VectorDrawing, PlaysTheWipeDrawings) {
    for (uint32_t number : {117u, 118u}) {
        SCOPED_TRACE(number);
        VectorDrawing drawing = WipeDrawing(number);
        RefPtr<DibSection> s = GreySection(41, 41);
        {
            DibSectionDC dc(*s);
            dc.SetNullPen();
            dc.SetBrush(Grey(200));
            ASSERT_TRUE(dc.PlayDrawing(drawing, Rect(0, 0, 41, 41)));
        }
        // Filled in the middle, empty at the corners, mirror-symmetric.
        EXPECT_EQ(s->GetPixel(20, 20), 200u);
        EXPECT_EQ(s->GetPixel(0, 0), 0u);
        EXPECT_EQ(s->GetPixel(40, 40), 0u);
        std::vector<std::string> p = Picture(*s);
        for (int y = 0; y < 41; ++y)
            for (int x = 0; x < 41; ++x)
                ASSERT_EQ(p[y][x], p[y][40 - x]) << x << "," << y;
        // Played large enough, the drawing covers the whole picture; far
        // off the picture, nothing is drawn.
        s->Set(0);
        {
            DibSectionDC dc(*s);
            dc.SetBrush(kWhite);
            dc.SetNullPen();
            ASSERT_TRUE(dc.PlayDrawing(
                drawing, Rect(-20 * 41 + 20, -20 * 41 + 20, 20 * 41 + 21, 20 * 41 + 21)));
            ASSERT_TRUE(dc.PlayDrawing(drawing, Rect(1000, 1000, 2000, 2000)));
        }
        EXPECT_EQ(Picture(*s), std::vector<std::string>(41, std::string(41, '#')));
    }
}

TEST(Dib, DrawStretchesOntoAContext) {
    RefPtr<Dib> src = Make24({{Rgb(1, 1, 1), Rgb(2, 2, 2)}, {Rgb(3, 3, 3), Rgb(4, 4, 4)}});
    DrawingSurface surface;
    ASSERT_TRUE(surface.Create(4, 4, 24));
    DrawContext dc;
    dc.SelectSurface(&surface);
    dc.FillRect(Rect(0, 0, 4, 4), kBlack);
    Rect whole(0, 0, 4, 4);
    ASSERT_TRUE(src->Draw(dc, &whole));
    EXPECT_EQ(dc.GetPixel(1, 1), Rgb(1, 1, 1));
    EXPECT_EQ(dc.GetPixel(2, 1), Rgb(2, 2, 2));
    EXPECT_EQ(dc.GetPixel(3, 3), Rgb(4, 4, 4));
    // Source rows of a bottom-up image count from the bottom: (0, 0, 2, 1)
    // is the lower row.
    Rect target(0, 0, 2, 1), lower(0, 0, 2, 1);
    ASSERT_TRUE(src->Draw(dc, &target, &lower));
    EXPECT_EQ(dc.GetPixel(0, 0), Rgb(3, 3, 3));
    EXPECT_EQ(dc.GetPixel(1, 0), Rgb(4, 4, 4));
    // Tiles from an origin.
    Rect all(0, 0, 4, 4);
    Point origin(1, 0);
    ASSERT_TRUE(src->DrawTiled(dc, &all, &origin));
    EXPECT_EQ(dc.GetPixel(0, 0), Rgb(2, 2, 2));
    EXPECT_EQ(dc.GetPixel(1, 0), Rgb(1, 1, 1));
    EXPECT_EQ(dc.GetPixel(3, 2), Rgb(1, 1, 1));
    // And into an 8-bit grey target, colours find their nearest entry.
    RefPtr<DibSection> g = GreySection(2, 2);
    {
        DibSectionDC gdc(*g);
        ASSERT_TRUE(src->Draw(gdc));
    }
    EXPECT_EQ(Bytes8(*g), (std::vector<std::vector<int>>{{1, 2}, {3, 4}}));
}

TEST(Dib, CopyTiledAndPlatformBitmaps) {
    RefPtr<Dib> tile = MakeGrey8({{1, 2}, {3, 4}});
    RefPtr<Dib> d = MakeGrey8(std::vector<std::vector<int>>(3, std::vector<int>(5, 0)));
    Rect area(1, 0, 5, 3);
    ASSERT_TRUE(d->CopyTiled(*tile, &area, nullptr));
    EXPECT_EQ(Bytes8(*d),
              (std::vector<std::vector<int>>{{0, 2, 1, 2, 1}, {0, 4, 3, 4, 3}, {0, 2, 1, 2, 1}}));

    std::unique_ptr<DrawingSurface> bitmap = tile->ToBitmap(nullptr);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->BitCount(), 32);
    RefPtr<Dib> back = new Dib;
    ASSERT_TRUE(back->CreateFromBitmap(*bitmap, nullptr));
    EXPECT_EQ(back->BitCount(), 32);
    EXPECT_EQ(back->GetPixel(1, 1), 0xFF040404u);
}

TEST(DibSection, CreateFromImagesAndMapping) {
    // A run-length source is expanded.
    uint8_t stream[] = {2, 9, 0, 1};
    std::vector<uint8_t> block(40 + 64 + sizeof stream);
    BitmapInfoHeader h;
    h.width = 2;
    h.height = 1;
    h.bitCount = 4;
    h.compression = Dib::compressionRle4;
    h.sizeImage = sizeof stream;
    std::memcpy(block.data(), &h, 40);
    for (int i = 0; i < 16; ++i)
        block[40 + 4 * i + 2] = static_cast<uint8_t>(i * 16); // red ramp
    std::memcpy(block.data() + 40 + 64, stream, sizeof stream);
    RefPtr<DibSection> s = new DibSection;
    ASSERT_TRUE(s->Attach(reinterpret_cast<BitmapInfoHeader*>(block.data()), nullptr));
    EXPECT_EQ(s->BitCount(), 8);
    EXPECT_TRUE(s->IsUncompressed());
    EXPECT_EQ(Bytes8(*s)[0], (std::vector<int>{0, 9}));
    EXPECT_EQ(s->ColorTable()[9].red, 144);
    EXPECT_EQ(s->Surface()->ColorTable()[4 * 9 + 2], 144);

    // Mapping picks the application palette's nearest entries.
    XPalette grey;
    grey.CreateGrey(0);
    XPalette::SetAppPalette(&grey);
    RefPtr<DibSection> mapped = new DibSection;
    RefPtr<Dib> src = MakeGrey8({{10, 250}});
    src->ColorTable()[10] = RgbQuad{0, 0, 30, 0}; // red 30 -> grey 10
    ASSERT_TRUE(mapped->Create(*src, true));
    XPalette::SetAppPalette(nullptr);
    EXPECT_EQ(mapped->GetColorUsage(), Dib::paletteIndices);
    EXPECT_EQ(Bytes8(*mapped)[0], (std::vector<int>{10, 250}));

    // Bit-field images keep their masks.
    RefPtr<Dib> d565 = new Dib;
    ASSERT_TRUE(d565->CreateBitFields(1, 1, 16, 0xf800, 0x7e0, 0x1f));
    uint16_t v = 0x07E0;
    std::memcpy(d565->Bits(), &v, 2);
    RefPtr<DibSection> s565 = new DibSection;
    ASSERT_TRUE(s565->Create(*d565, false));
    EXPECT_EQ(s565->Get16BitLayout(), Dib::layout565);
    RefPtr<Dib> rgb = Make24({{0}});
    ASSERT_TRUE(rgb->Copy(*s565));
    EXPECT_EQ(rgb->GetPixel(0, 0), Rgb(0, 252, 0));
}

TEST(DibSection, TakeOverAndSerialize) {
    RefPtr<DibSection> a = GreySection(3, 2);
    a->Set(9);
    DrawingSurface* surface = a->Surface();
    RefPtr<DibSection> b = new DibSection;
    b->TakeOver(*a);
    EXPECT_EQ(b->Surface(), surface);
    EXPECT_EQ(a->Surface(), nullptr);
    EXPECT_TRUE(a->IsEmpty());
    // A plain image taking over a section gets a copy it owns.
    RefPtr<Dib> plain = new Dib;
    plain->TakeOver(*b);
    EXPECT_TRUE(b->IsEmpty());
    EXPECT_EQ(b->Surface(), nullptr);
    EXPECT_TRUE(plain->OwnsHeader());
    EXPECT_EQ(plain->GetPixel(2, 1), 9u);
    // A section taking over a plain image gets a surface.
    RefPtr<DibSection> c = new DibSection;
    c->TakeOver(*plain);
    EXPECT_TRUE(plain->IsEmpty());
    ASSERT_NE(c->Surface(), nullptr);
    EXPECT_EQ(c->GetPixel(0, 0), 9u);

    MemFile mem;
    {
        Archive ar(mem, Archive::store);
        ar.WriteObject(c.get());
        ar.Close();
    }
    mem.SeekToBegin();
    Archive ar(mem, Archive::load);
    RefPtr<DibSection> back = ar.ReadObjectOf<DibSection>();
    ASSERT_TRUE(back);
    ASSERT_NE(back->Surface(), nullptr);
    EXPECT_EQ(Bytes8(*back), Bytes8(*c));
    EXPECT_TRUE(back->IsGreyPalette());
}

} // namespace
} // namespace orvik

namespace orvik {
namespace {

TEST(DrawContext, LongLinesAreCutToTheTarget) {
    RefPtr<DibSection> s = GreySection(8, 6);
    {
        DibSectionDC dc(*s);
        dc.SetPen(kWhite);
        dc.MoveTo(-1000000, 3);
        dc.LineTo(1000000, 3);
        dc.MoveTo(2, -900000);
        dc.LineTo(2, 900000);
    }
    std::vector<std::string> p = Picture(*s);
    EXPECT_EQ(p[3], "########");
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(p[y][2], '#');
    EXPECT_EQ(p[0], "..#.....");
}

} // namespace
} // namespace orvik

// Bitmap files exchanged with programs Orvik did not write: ImageMagick's
// convert writes them for Orvik to read, and convert and ffmpeg read what
// Orvik writes.
#include "imaging/Dib.h"

#include "ImagingTestSupport.h"
#include "support/TestHome.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::GetU16;
using test::GetU32;
using test::InHome;
using test::ReadBytes;
using test::RunCommand;
using test::WriteBytes;

constexpr int kW = 13, kH = 7; // an odd width, so rows are padded

// Reference pictures, top row first, as red, green, blue triples.
using Rgb24 = std::vector<uint8_t>;

Rgb24 ManyColours() {
    Rgb24 p;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            p.insert(p.end(), {static_cast<uint8_t>(x * 19), static_cast<uint8_t>(y * 37),
                               static_cast<uint8_t>((x * y * 11 + 5) % 256)});
    return p;
}

Rgb24 SixteenColours() {
    Rgb24 p;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            p.insert(p.end(),
                     {static_cast<uint8_t>((x % 4) * 80), static_cast<uint8_t>((y % 4) * 60),
                      static_cast<uint8_t>(((x + y) % 4 < 2) ? 200 : 10)});
    return p;
}

Rgb24 BlackAndWhite() {
    Rgb24 p;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t v = ((x * 3 + y) % 5) < 2 ? 255 : 0;
            p.insert(p.end(), {v, v, v});
        }
    return p;
}

void WritePpm(const std::string& path, const Rgb24& p) {
    std::string head = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), p.begin(), p.end());
    WriteBytes(path, bytes);
}

// What Orvik sees in a file, as red, green, blue triples top row first.
Rgb24 OrvikPixels(const Dib& d) {
    RefPtr<Dib> rgb = new Dib;
    EXPECT_TRUE(rgb->Create(d.Width(), d.AbsHeight(), 24));
    EXPECT_TRUE(rgb->Copy(d));
    Rgb24 out;
    for (int y = 0; y < rgb->AbsHeight(); ++y)
        for (int x = 0; x < rgb->Width(); ++x) {
            const uint8_t* p = rgb->PixelAddress(x, y);
            out.insert(out.end(), {p[2], p[1], p[0]});
        }
    return out;
}

std::string Convert() {
    static std::string convert = test::ImageMagickConvert();
    return convert;
}

Rgb24 ImageMagickPixels(const std::string& path) {
    int status = -1;
    Rgb24 out = RunCommand(Convert() + " '" + path + "' -depth 8 rgb:- 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    return out;
}

Rgb24 FfmpegPixels(const std::string& path) {
    int status = -1;
    Rgb24 out = RunCommand("ffmpeg -nostdin -v error -i '" + path +
                               "' -f rawvideo -pix_fmt rgb24 - 2>/dev/null",
                           &status);
    EXPECT_EQ(status, 0);
    return out;
}

// A 16-bit channel widened by another program may fill its low bits;
// Orvik's widening leaves them 0 (5 bits: 3 low bits, 6 bits: 2).
Rgb24 Masked(Rgb24 p, bool greenSixBits) {
    for (size_t i = 0; i < p.size(); ++i)
        p[i] &= (i % 3 == 1 && greenSixBits) ? 0xFC : 0xF8;
    return p;
}

class DibInterop : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Convert().empty())
            << "ImageMagick is missing: scripts/setup installs the imagemagick package";
    }
};

TEST_F(DibInterop, ReadsWhatImageMagickWrites) {
    struct Case {
        const char* name;
        Rgb24 (*picture)();
        const char* options;
        uint32_t headerSize;
        uint16_t bits;
        uint32_t compression;
    } cases[] = {
        {"24-bit", ManyColours, "-type truecolor bmp3:", 40, 24, 0},
        {"24-bit V5", ManyColours, "-type truecolor bmp:", 124, 24, 0},
        {"8-bit", ManyColours, "-type palette -compress none bmp3:", 40, 8, 0},
        {"8-bit run lengths", ManyColours, "-type palette -compress rle bmp3:", 40, 8, 1},
        {"8-bit V5 run lengths", ManyColours, "-type palette -compress rle bmp:", 124, 8, 1},
        {"4-bit", SixteenColours, "-type palette -compress none bmp3:", 40, 4, 0},
        {"1-bit", BlackAndWhite, "-type bilevel bmp3:", 40, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rgb24 ref = c.picture();
        WritePpm(InHome("ref.ppm"), ref);
        std::string out = InHome("im.bmp");
        int status = -1;
        RunCommand(Convert() + " '" + InHome("ref.ppm") + "' " + c.options + "'" + out + "'",
                   &status);
        ASSERT_EQ(status, 0);
        std::vector<uint8_t> file = ReadBytes(out);
        ASSERT_GT(file.size(), 54u);
        // The file is of the form the case is about.
        EXPECT_EQ(GetU32(file, 14), c.headerSize);
        EXPECT_EQ(GetU16(file, 28), c.bits);
        EXPECT_EQ(GetU32(file, 30), c.compression);
        RefPtr<Dib> d = new Dib;
        ASSERT_TRUE(d->LoadFromFile(out));
        EXPECT_EQ(d->Width(), kW);
        EXPECT_EQ(d->AbsHeight(), kH);
        EXPECT_EQ(OrvikPixels(*d), ref);
    }
}

TEST_F(DibInterop, ReadsImageMagicks16BitAndAlphaBitmaps) {
    Rgb24 ref = ManyColours();
    WritePpm(InHome("ref.ppm"), ref);
    for (bool six : {true, false}) {
        SCOPED_TRACE(six ? "5-6-5" : "5-5-5");
        std::string out = InHome("im16.bmp");
        int status = -1;
        RunCommand(Convert() + " '" + InHome("ref.ppm") + "' -define bmp:subtype=" +
                       (six ? "RGB565" : "RGB555") + " bmp:'" + out + "'",
                   &status);
        ASSERT_EQ(status, 0);
        std::vector<uint8_t> file = ReadBytes(out);
        EXPECT_EQ(GetU32(file, 14), 124u);
        EXPECT_EQ(GetU16(file, 28), 16);
        EXPECT_EQ(GetU32(file, 30), 3u);
        RefPtr<Dib> d = new Dib;
        ASSERT_TRUE(d->LoadFromFile(out));
        EXPECT_EQ(OrvikPixels(*d), Masked(ImageMagickPixels(out), six));
    }

    // 32 bits with alpha from a picture with an alpha channel.
    std::string pam = "P7\nWIDTH " + std::to_string(kW) + "\nHEIGHT " + std::to_string(kH) +
                      "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    std::vector<uint8_t> bytes(pam.begin(), pam.end());
    for (int i = 0; i < kW * kH; ++i)
        bytes.insert(bytes.end(),
                     {ref[3 * i], ref[3 * i + 1], ref[3 * i + 2], static_cast<uint8_t>(i * 2 + 3)});
    WriteBytes(InHome("ref.pam"), bytes);
    std::string out = InHome("im32.bmp");
    int status = -1;
    RunCommand(Convert() + " '" + InHome("ref.pam") + "' bmp:'" + out + "'", &status);
    ASSERT_EQ(status, 0);
    std::vector<uint8_t> file = ReadBytes(out);
    EXPECT_EQ(GetU16(file, 28), 32);
    RefPtr<Dib> d = new Dib;
    ASSERT_TRUE(d->LoadFromFile(out));
    EXPECT_EQ(OrvikPixels(*d), ref);
    for (int i = 0; i < kW * kH; ++i)
        ASSERT_EQ(d->PixelAddress(i % kW, i / kW)[3], i * 2 + 3) << "pixel " << i;
}

TEST_F(DibInterop, WhatOrvikWritesOpensElsewhere) {
    Rgb24 many = ManyColours(), sixteen = SixteenColours(), bw = BlackAndWhite();
    auto fill24 = [](Dib& d, const Rgb24& p) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                uint8_t* q = d.PixelAddress(x, y);
                const uint8_t* s = &p[3 * (y * kW + x)];
                q[0] = s[2], q[1] = s[1], q[2] = s[0];
                if (d.BitCount() == 32)
                    q[3] = 255;
            }
    };
    // Indexed pictures get a table of the picture's colours.
    auto fillIndexed = [](Dib& d, const Rgb24& p) {
        std::vector<uint32_t> colours;
        for (int i = 0; i < kW * kH; ++i) {
            uint32_t c = Rgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
            auto it = std::find(colours.begin(), colours.end(), c);
            int index = static_cast<int>(it - colours.begin());
            if (it == colours.end())
                colours.push_back(c);
            int x = i % kW, y = i / kW;
            uint8_t* row = d.PixelAddress(0, y);
            if (d.BitCount() == 8)
                row[x] = static_cast<uint8_t>(index);
            else if (d.BitCount() == 4)
                row[x / 2] = static_cast<uint8_t>((x & 1) ? (row[x / 2] & 0xF0) | index
                                                          : (row[x / 2] & 0x0F) | (index << 4));
            else
                row[x / 8] = static_cast<uint8_t>(index ? row[x / 8] | (0x80 >> (x % 8))
                                                        : row[x / 8] & ~(0x80 >> (x % 8)));
        }
        for (size_t i = 0; i < colours.size(); ++i)
            d.ColorTable()[i] =
                RgbQuad{BlueOf(colours[i]), GreenOf(colours[i]), RedOf(colours[i]), 0};
    };
    auto fill16 = [](Dib& d, const Rgb24& p, bool six) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const uint8_t* s = &p[3 * (y * kW + x)];
                uint16_t v = six ? static_cast<uint16_t>(((s[0] >> 3) << 11) | ((s[1] >> 2) << 5) |
                                                         (s[2] >> 3))
                                 : static_cast<uint16_t>(((s[0] >> 3) << 10) | ((s[1] >> 3) << 5) |
                                                         (s[2] >> 3));
                std::memcpy(d.PixelAddress(x, y), &v, 2);
            }
    };
    struct Case {
        const char* name;
        int bits, height;
        int kind; // 0 true colour, 1 indexed, 2 5-5-5, 3 5-6-5
        const Rgb24* picture;
    } cases[] = {
        {"24-bit", 24, kH, 0, &many},
        {"24-bit top-down", 24, -kH, 0, &many},
        {"32-bit", 32, kH, 0, &many},
        {"8-bit", 8, kH, 1, &many},
        {"8-bit top-down", 8, -kH, 1, &many},
        {"4-bit", 4, kH, 1, &sixteen},
        {"1-bit", 1, kH, 1, &bw},
        {"16-bit 5-5-5", 16, kH, 2, &many},
        {"16-bit 5-6-5", 16, kH, 3, &many},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RefPtr<Dib> d = new Dib;
        if (c.kind == 3)
            ASSERT_TRUE(d->CreateBitFields(kW, c.height, 16, 0xf800, 0x7e0, 0x1f));
        else
            ASSERT_TRUE(d->Create(kW, c.height, c.bits));
        std::memset(d->Bits(), 0, d->ImageSize());
        Rgb24 expect = *c.picture;
        if (c.kind == 0)
            fill24(*d, expect);
        else if (c.kind == 1)
            fillIndexed(*d, expect);
        else
            fill16(*d, expect, c.kind == 3);
        std::string path = InHome("orvik.bmp");
        ASSERT_TRUE(d->SaveToFile(path));
        if (c.kind >= 2) {
            EXPECT_EQ(Masked(ImageMagickPixels(path), c.kind == 3), Masked(expect, c.kind == 3));
            EXPECT_EQ(Masked(FfmpegPixels(path), c.kind == 3), Masked(expect, c.kind == 3));
        } else {
            EXPECT_EQ(ImageMagickPixels(path), expect);
            EXPECT_EQ(FfmpegPixels(path), expect);
        }
    }
}

} // namespace
} // namespace orvik

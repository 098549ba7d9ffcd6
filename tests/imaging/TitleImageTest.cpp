// ".ttr" title images: a picture and its 8-bit alpha mask (or the picture
// alone) behind an 8-byte magic, built here byte by byte and from pictures
// that ImageMagick made; damaged files fail with a log line.
#include "imaging/FileDib.h"

#include "ImagingTestSupport.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik {
namespace {

using test::InHome;
using test::LogHas;
using test::OpenTestLog;
using test::PutU16;
using test::PutU32;
using Bytes = std::vector<uint8_t>;

void PutText(Bytes& v, const char* text) {
    v.insert(v.end(), text, text + 8);
}

// A bitmap file of 2 x 2 24-bit pixels, bottom-up, written from the file
// format's table: rows of 6 bytes padded to 8.
Bytes Picture2x2() {
    Bytes v;
    v.push_back('B');
    v.push_back('M');
    PutU32(v, 14 + 40 + 16); // file size
    PutU32(v, 0);
    PutU32(v, 14 + 40); // pixels
    PutU32(v, 40);
    PutU32(v, 2);
    PutU32(v, 2);
    PutU16(v, 1);
    PutU16(v, 24);
    PutU32(v, 0);
    PutU32(v, 16);
    PutU32(v, 0);
    PutU32(v, 0);
    PutU32(v, 0);
    PutU32(v, 0);
    // Bottom row: blue, green (blue, green, red bytes); top row: red, white.
    Bytes rows = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};
    v.insert(v.end(), rows.begin(), rows.end());
    return v;
}

// An 8-bit grey mask of 2 x 2 with a 256-entry grey table.
Bytes Mask2x2(uint8_t topLeft, uint8_t topRight, uint8_t bottomLeft, uint8_t bottomRight) {
    Bytes v;
    v.push_back('B');
    v.push_back('M');
    PutU32(v, 14 + 40 + 1024 + 8);
    PutU32(v, 0);
    PutU32(v, 14 + 40 + 1024);
    PutU32(v, 40);
    PutU32(v, 2);
    PutU32(v, 2);
    PutU16(v, 1);
    PutU16(v, 8);
    PutU32(v, 0);
    PutU32(v, 8);
    PutU32(v, 0);
    PutU32(v, 0);
    PutU32(v, 256);
    PutU32(v, 0);
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c)
            v.push_back(static_cast<uint8_t>(i));
        v.push_back(0);
    }
    Bytes rows = {bottomLeft, bottomRight, 0, 0, topLeft, topRight, 0, 0};
    v.insert(v.end(), rows.begin(), rows.end());
    return v;
}

Bytes TitleImage(const char* magic, const Bytes& picture, const Bytes& alpha = {}) {
    Bytes v;
    PutText(v, magic);
    v.insert(v.end(), picture.begin(), picture.end());
    v.insert(v.end(), alpha.begin(), alpha.end());
    return v;
}

std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = InHome(name);
    test::WriteBytes(path, bytes);
    return path;
}

TEST(TitleImage, PictureAndAlphaAreReadFromTheirTwoBitmaps) {
    std::string path =
        Write("a.ttr", TitleImage("Tit30.00", Picture2x2(), Mask2x2(10, 20, 30, 40)));
    EXPECT_EQ(FileDib::GetTitleImageKind(path), FileDib::pictureAndAlpha);
    RefPtr<FileDib> picture = new FileDib;
    ASSERT_EQ(picture->LoadFromFile(path), 1);
    ASSERT_EQ(picture->BitCount(), 24);
    // GetPixel of 24-bit pixels reads blue, green, red as a colour reference.
    EXPECT_EQ(picture->GetPixel(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(picture->GetPixel(1, 0), Rgb(255, 255, 255));
    EXPECT_EQ(picture->GetPixel(0, 1), Rgb(0, 0, 255));
    EXPECT_EQ(picture->GetPixel(1, 1), Rgb(0, 255, 0));

    RefPtr<FileDib> alpha = new FileDib;
    ASSERT_EQ(alpha->LoadTtrAlpha(path), 1);
    EXPECT_EQ(test::Bytes8(*alpha), (std::vector<std::vector<int>>{{10, 20}, {30, 40}}));
}

TEST(TitleImage, PictureOnlyGivesAnOpaqueMaskOfItsSize) {
    std::string path = Write("b.TTR", TitleImage("Tit30.01", Picture2x2()));
    EXPECT_EQ(FileDib::GetTitleImageKind(path), FileDib::pictureOnly);
    RefPtr<FileDib> alpha = new FileDib;
    ASSERT_EQ(alpha->LoadTtrAlpha(path), 1);
    EXPECT_EQ(alpha->BitCount(), 8);
    EXPECT_TRUE(alpha->IsGreyPalette());
    EXPECT_EQ(test::Bytes8(*alpha), (std::vector<std::vector<int>>{{255, 255}, {255, 255}}));
    RefPtr<FileDib> picture = new FileDib;
    ASSERT_EQ(picture->LoadFromFile(path), 1);
    EXPECT_EQ(picture->GetPixel(1, 1), Rgb(0, 255, 0));
}

TEST(TitleImage, OtherMagicsAndExtensionsAreNoTitleImages) {
    // A plain bitmap under a ".ttr" name loads as a bitmap, with no alpha.
    std::string plain = Write("plain.ttr", Picture2x2());
    EXPECT_EQ(FileDib::GetTitleImageKind(plain), FileDib::notTitleImage);
    RefPtr<FileDib> picture = new FileDib;
    EXPECT_EQ(picture->LoadFromFile(plain), 1);
    EXPECT_EQ(picture->GetPixel(0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(picture->LoadTtrAlpha(plain), 0);
    // The magic alone does not make a title image under another extension.
    std::string other = Write("a.bmp", TitleImage("Tit30.00", Picture2x2(), Mask2x2(1, 2, 3, 4)));
    EXPECT_EQ(FileDib::GetTitleImageKind(other), FileDib::notTitleImage);
    EXPECT_EQ(FileDib::GetTitleImageKind(Write("c.ttr", TitleImage("Tit30.02", Picture2x2()))),
              FileDib::notTitleImage);
    EXPECT_EQ(picture->LoadFromFile(InHome("missing.ttr")), 0);
}

TEST(TitleImage, PicturesMadeByImageMagickAndFfmpegAreRead) {
    std::string convert = test::ImageMagickConvert();
    if (convert.empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    int status = 0;
    std::string red = InHome("red.bmp"), grey = InHome("grey.bmp");
    test::RunCommand(convert + " -size 6x4 xc:'rgb(200,30,10)' -type TrueColor bmp3:" + red,
                     &status);
    ASSERT_EQ(status, 0);
    // ffmpeg writes grey pictures as 8-bit bitmaps with a grey table.
    test::RunCommand("ffmpeg -v error -y -f lavfi -i color=c=0x4d4d4d:s=6x4 -frames:v 1 "
                     "-pix_fmt gray " +
                         grey,
                     &status);
    ASSERT_EQ(status, 0);
    std::string path =
        Write("made.ttr", TitleImage("Tit30.00", test::ReadBytes(red), test::ReadBytes(grey)));
    RefPtr<FileDib> picture = new FileDib;
    ASSERT_EQ(picture->LoadFromFile(path), 1);
    EXPECT_EQ(picture->Width(), 6);
    EXPECT_EQ(picture->AbsHeight(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(picture->GetPixel(x, y), Rgb(200, 30, 10));
    RefPtr<FileDib> alpha = new FileDib;
    ASSERT_EQ(alpha->LoadTtrAlpha(path), 1);
    EXPECT_EQ(alpha->Width(), 6);
    EXPECT_EQ(test::Bytes8(*alpha), std::vector<std::vector<int>>(4, std::vector<int>(6, 0x4d)));
}

TEST(TitleImage, DamagedFilesFailWithALogLine) {
    OpenTestLog();
    Bytes good = TitleImage("Tit30.00", Picture2x2(), Mask2x2(1, 2, 3, 4));
    // Cut short inside the magic, the picture's header, its pixels, the
    // mask's header and the mask's pixels.
    for (size_t cut : std::vector<size_t>{4, 8 + 20, 8 + 60, 8 + 70 + 30, good.size() - 3}) {
        std::string path = Write("cut" + std::to_string(cut) + ".ttr",
                                 Bytes(good.begin(), good.begin() + static_cast<long>(cut)));
        RefPtr<FileDib> alpha = new FileDib;
        EXPECT_EQ(alpha->LoadTtrAlpha(path), 0) << cut;
        EXPECT_TRUE(alpha->IsEmpty());
    }
    // A picture that claims a huge size cannot be skipped.
    Bytes huge = good;
    uint8_t* width = huge.data() + 8 + 14 + 4;
    width[0] = width[1] = width[2] = 0xFF;
    width[3] = 0x7F;
    std::string hugePath = Write("huge.ttr", huge);
    RefPtr<FileDib> alpha = new FileDib;
    EXPECT_EQ(alpha->LoadTtrAlpha(hugePath), 0);
    EXPECT_TRUE(LogHas("FileDib::LoadTtrAlpha: Can't skip image DIB\n"));
    RefPtr<FileDib> picture = new FileDib;
    EXPECT_EQ(picture->LoadFromFile(hugePath), 0);
    // A second picture that is not an 8-bit mask is refused.
    std::string twoPictures = Write("two.ttr", TitleImage("Tit30.00", Picture2x2(), Picture2x2()));
    EXPECT_EQ(alpha->LoadTtrAlpha(twoPictures), 0);
}

TEST(TitleImage, PictureExtensions) {
    EXPECT_TRUE(FileDib::IsPictureExtension(".BMP"));
    EXPECT_TRUE(FileDib::IsPictureExtension(".ttr"));
    EXPECT_FALSE(FileDib::IsPictureExtension(".png"));
    EXPECT_FALSE(FileDib::IsPictureExtension(""));
}

} // namespace
} // namespace orvik

#include "platform/codec/FrameGetter.h"

#include "platform/avi/AviFile.h"
#include "platform/avi/FourCC.h"
#include "platform/avi/MediaTestTools.h"
#include "platform/codec/MjpegDecompressor.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::FfmpegOutput;

// Peak signal-to-noise ratio of two equally long byte pictures, in dB.
double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(n) / sum);
}

// Our bottom-up rows (with their stride) turned top-down and packed, as
// ffmpeg writes raw pictures.
std::vector<uint8_t> TopDown(const uint8_t* bits, int width, int height, int bytesPerPixel) {
    size_t row = size_t(width) * bytesPerPixel;
    size_t stride = (row + 3) & ~size_t(3);
    std::vector<uint8_t> out(row * height);
    for (int y = 0; y < height; ++y)
        std::copy_n(bits + size_t(height - 1 - y) * stride, row, out.begin() + y * row);
    return out;
}

struct CodecCase {
    const char* name;
    const char* args;
    int width, height;
    double minPsnr;       // against ffmpeg's own decoding of the same frame
    const char* refFlags; // how ffmpeg converts its decoded picture to BGR
};

// TurboJPEG interpolates chroma when it makes RGB; so does libswscale with
// full chroma interpolation. The other codecs go through libswscale's plain
// bicubic conversion, as ffmpeg's own does.
const char kJpegLike[] = "-sws_flags bicubic+accurate_rnd+full_chroma_int ";

const CodecCase kCodecs[] = {
    // TurboJPEG and libavcodec upsample chroma differently: a few dB apart.
    {"mjpeg420", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p", 320, 240, 35, kJpegLike},
    {"mjpeg422", "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p", 320, 240, 35, kJpegLike},
    {"dv", "-s 720x576 -c:v dvvideo -pix_fmt yuv420p", 720, 576, 40, ""},
    {"mpeg4", "-c:v mpeg4 -g 6 -q:v 4", 320, 240, 40, ""},
    {"h264", "-c:v libx264 -preset veryfast -g 8 -bf 2", 320, 240, 40, ""},
};

class FrameGetterCase : public testing::TestWithParam<CodecCase> {};

TEST_P(FrameGetterCase, FramesInAnyOrderMatchFfmpegsDecoding) {
    const CodecCase& c = GetParam();
    std::string path =
        Ffmpeg(std::string(c.name) + ".avi",
               "-f lavfi -i testsrc2=size=320x240:rate=25 -t 1 -an " + std::string(c.args));
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::vector<uint8_t> ref =
        FfmpegOutput(path, std::string(c.refFlags) + "-f rawvideo -pix_fmt bgr24");
    const size_t frameBytes = size_t(c.width) * c.height * 3;
    ASSERT_EQ(ref.size(), frameBytes * 25) << test::ToolLog();

    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    AviStream* stream = file.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(stream, nullptr);
    FrameGetter getter;
    ASSERT_TRUE(getter.Open(*stream)) << getter.Error();
    EXPECT_EQ(getter.OutputHeader().width, c.width);
    EXPECT_EQ(getter.OutputHeader().height, c.height);
    EXPECT_EQ(getter.OutputHeader().bitCount, 24);

    // Forward, backward, across key frames, the same frame twice, the last.
    for (int n : {0, 1, 2, 13, 7, 24, 3, 12, 11, 11, 24, 0, 5}) {
        const uint8_t* bits = getter.GetFrame(stream->Start() + n);
        ASSERT_NE(bits, nullptr) << "frame " << n << ": " << getter.Error();
        std::vector<uint8_t> got = TopDown(bits, c.width, c.height, 3);
        double right = Psnr(got.data(), &ref[n * frameBytes], frameBytes);
        double wrong = Psnr(got.data(), &ref[((n + 5) % 25) * frameBytes], frameBytes);
        EXPECT_GE(right, c.minPsnr) << "frame " << n;
        EXPECT_GT(right, wrong + 3) << "frame " << n << " looks like frame " << (n + 5) % 25;
    }
    EXPECT_EQ(getter.GetFrame(stream->Start() + 25), nullptr);
    EXPECT_EQ(getter.GetFrame(stream->Start() - 1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, FrameGetterCase, testing::ValuesIn(kCodecs),
                         [](const testing::TestParamInfo<CodecCase>& i) { return i.param.name; });

struct ShapeCase {
    const char* name;
    int width, height, bitCount;
    const char* ffmpegArgs; // ffmpeg's picture of the same shape
    double minPsnr;
};

// Other sizes and pixel depths of motion-JPEG and of a libavcodec codec.
TEST(FrameGetterTest, SizesAndDepthsMatchFfmpeg) {
    const ShapeCase shapes[] = {
        {"half_turbojpeg_scaled", 160, 120, 24, "-vf scale=160:120 -pix_fmt bgr24", 25},
        {"odd_size_swscale", 200, 150, 24, "-vf scale=200:150 -pix_fmt bgr24", 25},
        {"bgrx", 320, 240, 32, "-pix_fmt bgr0", 30},
        {"grey", 320, 240, 8, "-pix_fmt gray", 30},
        {"double_size", 640, 480, 24, "-vf scale=640:480 -pix_fmt bgr24", 25},
    };
    struct Codec {
        const char* args;
        const char* refFlags;
    };
    for (Codec codecCase :
         {Codec{"-c:v mjpeg -q:v 3", kJpegLike}, Codec{"-c:v mpeg4 -g 6 -q:v 3", ""}}) {
        const char* codec = codecCase.args;
        std::string path = Ffmpeg(
            "shape.avi", std::string("-f lavfi -i testsrc2=size=320x240:rate=25 -t 0.4 ") + codec);
        ASSERT_FALSE(path.empty()) << test::ToolLog();
        AviFile file;
        ASSERT_TRUE(file.Open(path)) << file.Error();
        AviStream* stream = file.FindStream(AviStream::kVideo, 0);
        ASSERT_NE(stream, nullptr);
        for (const ShapeCase& s : shapes) {
            std::vector<uint8_t> ref =
                FfmpegOutput(path, std::string(codecCase.refFlags) + "-f rawvideo " + s.ffmpegArgs);
            int bpp = s.bitCount / 8;
            size_t frameBytes = size_t(s.width) * s.height * bpp;
            ASSERT_EQ(ref.size(), frameBytes * 10) << s.name;
            BitmapInfoHeader wanted;
            wanted.width = s.width;
            wanted.height = s.height;
            wanted.bitCount = uint16_t(s.bitCount);
            FrameGetter getter;
            ASSERT_TRUE(getter.Open(*stream, &wanted)) << getter.Error();
            for (int n : {7, 2}) {
                const uint8_t* bits = getter.GetFrame(n);
                ASSERT_NE(bits, nullptr) << s.name << ": " << getter.Error();
                std::vector<uint8_t> got = TopDown(bits, s.width, s.height, bpp);
                if (s.bitCount == 32) // ffmpeg's fourth byte is undefined; ours is 255
                    for (size_t i = 3; i < got.size(); i += 4) {
                        EXPECT_EQ(got[i], 255);
                        got[i] = ref[n * frameBytes + i];
                    }
                EXPECT_GE(Psnr(got.data(), &ref[n * frameBytes], frameBytes), s.minPsnr)
                    << codec << " " << s.name << " frame " << n;
            }
            if (s.bitCount == 8) {
                ASSERT_EQ(getter.OutputFormat().size(), 40u + 1024u);
                EXPECT_EQ(getter.OutputFormat()[40 + 4 * 200], 200);
            }
        }
    }
}

// Interlaced capture: each sample holds the two fields as two JPEG pictures
// of half the frame's height.
TEST(FrameGetterTest, TwoFieldMotionJpegIsWovenIntoOneFrame) {
    // Even and odd rows differ, so rows woven into the wrong field show.
    std::string source = Ffmpeg("frame.avi", "-f lavfi -i color=size=320x480:rate=25 "
                                             "-vf format=rgb24,geq=r='if(mod(Y\\,2)\\,230\\,20)':"
                                             "g='X*255/320':b='Y*255/480' "
                                             "-frames:v 1 -c:v rawvideo -pix_fmt bgr24");
    ASSERT_FALSE(source.empty()) << test::ToolLog();
    std::vector<uint8_t> ref = FfmpegOutput(source, "-f rawvideo -pix_fmt bgr24");
    ASSERT_EQ(ref.size(), 320u * 480 * 3) << test::ToolLog();
    std::string top = Ffmpeg("top.jpg", "-i " + source + " -vf field=top -q:v 2");
    std::string bottom = Ffmpeg("bottom.jpg", "-i " + source + " -vf field=bottom -q:v 2");
    ASSERT_FALSE(top.empty() || bottom.empty()) << test::ToolLog();
    std::vector<uint8_t> t = test::ReadBytes(top), b = test::ReadBytes(bottom);

    // The "AVI1" marker, after the start-of-image marker, with a polarity.
    auto withPolarity = [](std::vector<uint8_t> jpeg, uint8_t polarity) {
        const uint8_t app0[] = {0xFF, 0xE0, 0, 16, 'A', 'V', 'I', '1', polarity,
                                0,    0,    0, 0,  0,   0,   0,   0,   0};
        jpeg.insert(jpeg.begin() + 2, std::begin(app0), std::end(app0));
        return jpeg;
    };
    std::vector<uint8_t> topFirst = t, bottomFirst = withPolarity(b, 1);
    topFirst.insert(topFirst.end(), b.begin(), b.end());
    bottomFirst.insert(bottomFirst.end(), t.begin(), t.end());
    EXPECT_EQ(MjpegDecompressor::FindSecondPicture(topFirst.data(), topFirst.size()), t.size());
    EXPECT_EQ(MjpegDecompressor::Polarity(bottomFirst.data(), bottomFirst.size()), 1);
    EXPECT_EQ(MjpegDecompressor::Polarity(topFirst.data(), topFirst.size()), 0);

    BitmapInfoHeader header;
    header.width = 320;
    header.height = 480;
    header.bitCount = 24;
    header.compression = MakeFourCC("MJPG");
    std::string why;
    auto decoder = VideoDecompressor::Open(header.Bytes(), 0, &why);
    ASSERT_NE(decoder, nullptr) << why;
    EXPECT_TRUE(decoder->IsIntraOnly());

    struct Case {
        const char* name;
        const std::vector<uint8_t>* sample;
        int width, height;
        double minPsnr;
    };
    for (Case c : {Case{"top_first", &topFirst, 320, 480, 30},
                   Case{"bottom_first", &bottomFirst, 320, 480, 30},
                   Case{"scaled", &topFirst, 160, 240, 24}}) {
        size_t stride = (size_t(c.width) * 3 + 3) & ~size_t(3);
        std::vector<uint8_t> bits(stride * c.height);
        DecodeTarget out{c.width, c.height, 24, stride, bits.data()};
        ASSERT_TRUE(decoder->DecodeInto(c.sample->data(), c.sample->size(), out))
            << c.name << ": " << decoder->Error();
        std::vector<uint8_t> got = TopDown(bits.data(), c.width, c.height, 3);
        std::vector<uint8_t> expected = ref;
        if (c.width != 320)
            expected = FfmpegOutput(source, "-vf scale=160:240 -f rawvideo -pix_fmt bgr24");
        EXPECT_GE(Psnr(got.data(), expected.data(), got.size()), c.minPsnr) << c.name;
    }
    // Woven the wrong way round, the picture is clearly worse.
    std::vector<uint8_t> swapped = b;
    swapped.insert(swapped.end(), t.begin(), t.end());
    std::vector<uint8_t> bits(320 * 3 * 480);
    DecodeTarget out{320, 480, 24, 320 * 3, bits.data()};
    ASSERT_TRUE(decoder->DecodeInto(swapped.data(), swapped.size(), out));
    std::vector<uint8_t> got = TopDown(bits.data(), 320, 480, 3);
    EXPECT_LT(Psnr(got.data(), ref.data(), got.size()), 25);
}

TEST(VideoDecompressorTest, ListsAndOpensByCode) {
    auto list = VideoDecompressor::List();
    auto has = [&](const char* code) {
        for (auto& i : list)
            if (i.fccHandler == MakeFourCC(code[0], code[1], code[2], code[3]))
                return true;
        return false;
    };
    EXPECT_TRUE(has("MJPG"));
    EXPECT_TRUE(has("H264"));
    EXPECT_TRUE(has("dvsd"));
    EXPECT_TRUE(VideoDecompressor::IsMotionJpeg(MakeFourCC("avrn")));
    EXPECT_TRUE(VideoDecompressor::CanDecode(MakeFourCC("dmb1"), 0));
    EXPECT_FALSE(VideoDecompressor::CanDecode(MakeFourCC("Q?!x"), MakeFourCC("Q?!x")));

    BitmapInfoHeader h;
    h.width = 16;
    h.height = 16;
    h.bitCount = 24;
    h.compression = MakeFourCC("Q?!x");
    std::string why;
    EXPECT_EQ(VideoDecompressor::Open(h.Bytes(), 0, &why), nullptr);
    EXPECT_FALSE(why.empty());
    // The stream header's code is tried when the picture header's is unknown.
    EXPECT_NE(VideoDecompressor::Open(h.Bytes(), MakeFourCC("MJPG"), &why), nullptr);
    // Garbage decodes to an error, not a crash.
    h.compression = MakeFourCC("MJPG");
    auto d = VideoDecompressor::Open(h.Bytes(), 0, &why);
    ASSERT_NE(d, nullptr);
    std::vector<uint8_t> bits(16 * 16 * 3);
    DecodeTarget out{16, 16, 24, 48, bits.data()};
    const uint8_t junk[] = {0xFF, 0xD8, 0xFF, 0xC0, 0, 3, 1, 2, 3};
    EXPECT_FALSE(d->DecodeInto(junk, sizeof junk, out));
    EXPECT_FALSE(d->Error().empty());
}

} // namespace
} // namespace orvik
